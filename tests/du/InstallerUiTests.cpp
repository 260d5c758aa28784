// The silent installer UI handler called directly (Windows Installer under
// Wine never sends it error boxes) and the context it logs to.
#include <gtest/gtest.h>

#include "actions/du/InstallerUi.h"
#include "support/RecordingContext.h"

namespace {
const UINT ErrorMessage = INSTALLMESSAGE_ERROR;

int answer(RecordingContext& context, UINT style, const wchar_t* message)
{
    return InstallerUiHandler(&context, ErrorMessage | style, message);
}
}

TEST(InstallerUiHandler, ReportsModulesThatFailedToRegisterAndIgnoresTheBox)
{
    RecordingContext context;
    EXPECT_EQ(IDIGNORE, answer(context, MB_ABORTRETRYIGNORE,
                               L"Module C:\\Program Files\\App\\a b.dll failed to register.  HRESULT -2147024769."));
    ASSERT_EQ(1u, context.lines.size());
    EXPECT_EQ(4, context.lines[0].level);
    EXPECT_EQ(L"Module C:\\Program Files\\App\\a b.dll failed to register\n", context.lines[0].text);

    // Every style with bit 1 set is ignored; only a leading "Module" is reported.
    const UINT ignoredStyles[] = { MB_ABORTRETRYIGNORE, MB_YESNOCANCEL, MB_CANCELTRYCONTINUE };
    for (UINT style : ignoredStyles) {
        RecordingContext other;
        EXPECT_EQ(IDIGNORE, answer(other, style, L"The Module x.dll failed to register."));
        EXPECT_EQ(IDIGNORE, answer(other, style, L"module x.dll failed to register."));
        EXPECT_EQ(IDIGNORE, answer(other, style, L"Module x.dll could not be found"));
        EXPECT_EQ(IDIGNORE, answer(other, style, L"Modulex.dll failed to register."));
        EXPECT_EQ(IDIGNORE, answer(other, style, L"Module"));
        EXPECT_EQ(IDIGNORE, answer(other, style, 0));
        EXPECT_TRUE(other.lines.empty());
    }
}

TEST(InstallerUiHandler, AnswersByStyleBitsWhateverTheMessageKind)
{
    RecordingContext context;
    EXPECT_EQ(IDYES, answer(context, MB_OKCANCEL, L"Module x.dll failed to register."));
    EXPECT_EQ(IDYES, answer(context, MB_RETRYCANCEL, L"Disk full"));
    EXPECT_EQ(0, answer(context, MB_OK, L"Module x.dll failed to register."));
    EXPECT_EQ(0, answer(context, MB_YESNO, L"Continue?"));
    EXPECT_EQ(0, InstallerUiHandler(&context, INSTALLMESSAGE_INFO, L"Action start"));
    EXPECT_EQ(0, InstallerUiHandler(&context, INSTALLMESSAGE_PROGRESS, L"1: 2 2: 0"));
    EXPECT_EQ(IDYES, InstallerUiHandler(&context, INSTALLMESSAGE_WARNING | MB_OKCANCEL | MB_ICONWARNING, L"w"));
    EXPECT_TRUE(context.lines.empty());
}

TEST(InstallerUiHandler, ModuleNameIsTheTextBetweenTheMarkers)
{
    std::wstring module;
    EXPECT_TRUE(RegistrationFailureModule(L"Modules: Module m.ocx failed to register. x", module));
    EXPECT_EQ(L"m.ocx", module);
    EXPECT_TRUE(RegistrationFailureModule(L"Module  failed to register.", module));
    EXPECT_EQ(L"", module);
    EXPECT_FALSE(RegistrationFailureModule(L"Module failed to register.", module));
    EXPECT_FALSE(RegistrationFailureModule(L"Module x.dll failed to register", module));
}

