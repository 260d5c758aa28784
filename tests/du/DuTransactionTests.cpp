// Command lines and result handling of the deployment-unit actions.
#include <gtest/gtest.h>

#include "actions/du/DuTransaction.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

TEST(DuTransaction, ProductCodesGetBraces)
{
    EXPECT_EQ(L"{1234}", BracedProductCode(L"1234"));
    EXPECT_EQ(L"{1234}", BracedProductCode(L"{1234}"));
    EXPECT_EQ(L"{1234}", BracedProductCode(L"{1234"));
    EXPECT_EQ(L"{1234}", BracedProductCode(L"1234}"));
}

TEST(DuTransaction, InstallerCodesMapToStatus)
{
    struct Case {
        UINT code;
        int install;
        int uninstall;
        bool reboot;
    };
    const Case cases[] = {
        { 1602, 1, 0, false }, { 1604, 0, 0, false }, { 1641, 0, 0, false },
        { 3010, 0, 0, true },  { 1603, 1, 1, false }, { 1618, 1, 1, false },
    };
    ScopedTempDir folder;
    for (const Case& c : cases) {
        const DuTransactionKind kinds[] = { DuInstall, DuUninstall };
        for (DuTransactionKind kind : kinds) {
            WriteBytes(folder.file(L"du.log"), "log");
            RecordingContextPtr context = RecordingContext::Create();
            const int expected = kind == DuInstall ? c.install : c.uninstall;
            EXPECT_EQ(expected, FinishDuTransaction(c.code, kind, folder.file(L"du.log"), context)) << c.code;
            EXPECT_TRUE(PathExists(folder.file(L"du.log")));
            EXPECT_EQ(c.reboot, context->PropertySet(L"InstallNeedsReboot")) << c.code;
            const std::vector<std::wstring> errors = context->Texts(4);
            if (expected == 1)
                EXPECT_EQ(std::vector<std::wstring>{ L"Error code from call to Windows Installer API: " +
                                                     std::to_wstring(c.code) },
                          errors);
            else
                EXPECT_TRUE(context->lines.empty()) << c.code;
        }
    }
    // A log that cannot be removed stays, and success stays success.
    HANDLE open = CreateFileW(folder.file(L"du.log").c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    EXPECT_EQ(0, FinishDuTransaction(0, DuInstall, folder.file(L"du.log"), RecordingContext::Create()));
    EXPECT_TRUE(PathExists(folder.file(L"du.log")));
    CloseHandle(open);
    EXPECT_EQ(0, FinishDuTransaction(0, DuUninstall, folder.file(L"du.log"), RecordingContext::Create()));
    EXPECT_FALSE(PathExists(folder.file(L"du.log")));
}
