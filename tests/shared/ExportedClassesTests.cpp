// The classes and helpers Verrand.dll exports for its siblings and the host.
#include <stdexcept>

#include <gtest/gtest.h>

#include <windows.h>

#include "core/InstallException.h"
#include "core/MsiLogMessage.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"

TEST(SharedExports, DecoratedNamesAreInVerrandDll)
{
    ASSERT_TRUE(FindAction("DeleteRegistryKey") != 0) << "Verrand.dll did not load";
    const HMODULE verrand = GetModuleHandleW(L"Verrand.dll");
    const char* const names[] = {
        "_ZN16InstallExceptionC1Ei", "_ZN16InstallExceptionC1ERKS_", "_ZN16InstallExceptionaSERKS_",
        "_ZN16InstallExceptionD1Ev", "_ZNK16InstallException4whatEv", "_ZTV16InstallException",
        "_ZN16CInstallRegistryC1Ev", "_ZN16CInstallRegistryC1ERKS_", "_ZN16CInstallRegistryD1Ev",
        "_ZN16CInstallRegistryaSERKS_", "_ZNK16CInstallRegistry7GetHKEYEv",
        "_ZNK16CInstallRegistry16GetLastValueTypeEv", "_ZNK16CInstallRegistry10GetKeyPathEv",
        "_ZN16CInstallRegistry28RegistrySearchType_DirectoryE", "_ZN16CInstallRegistry27RegistrySearchType_FileNameE",
        "_ZN16CInstallRegistry27RegistrySearchType_RawValueE", "_ZN16CInstallRegistry24RegistrySearchType_64bitE",
        "_ZN14CMsiLogMessageC1Ev", "_ZN14CMsiLogMessageC1ERKS_", "_ZN14CMsiLogMessageD1Ev",
        "_ZN14CMsiLogMessageaSERKS_", "_ZTV14CMsiLogMessage", "_ZN15CLibraryInteropC1ERKS_",
        "_ZN15CLibraryInteropaSERKS_", "_ZTV15CLibraryInterop", "_ZN9CTextFileC1Ev",
        "_Z20AddTrailingBackSlashPwj", "_Z20AddTrailingBackSlashR7CString", "_Z23RemoveTrailingBackSlashPwj",
        "_Z23RemoveTrailingBackSlashR7CString", "_Z26RemoveTrailingForwardSlashPwj",
        "_Z26RemoveTrailingForwardSlashR7CString", "_Z20AddTimeToProgressBarN5boost10shared_ptrI7ILoggerEEi",
        "_Z15UseProgressTimeN5boost10shared_ptrI7ILoggerEEi",
    };
    for (const char* name : names)
        EXPECT_TRUE(GetProcAddress(verrand, name) != 0) << name;
    const int* flag = reinterpret_cast<const int*>(
        GetProcAddress(verrand, "_ZN16CInstallRegistry24RegistrySearchType_64bitE"));
    ASSERT_TRUE(flag != 0);
    EXPECT_EQ(16, *flag);
}

TEST(SharedExports, ProgressTimeThroughTheDll)
{
    typedef unsigned long (*ProgressTime)(boost::shared_ptr<ILogger>, int);
    ASSERT_TRUE(FindAction("DeleteRegistryKey") != 0);
    ProgressTime addTime = reinterpret_cast<ProgressTime>(
        GetProcAddress(GetModuleHandleW(L"Verrand.dll"), "_Z20AddTimeToProgressBarN5boost10shared_ptrI7ILoggerEEi"));
    ASSERT_TRUE(addTime != 0);
    RecordingContextPtr context = RecordingContext::Create();
    const long references = context.use_count();
    EXPECT_EQ(300000u, addTime(context, 3));
    EXPECT_EQ(references, context.use_count());
    EXPECT_TRUE(context->HasLine(L"Progress: add 300000 ticks"));
}

TEST(InstallExceptionClass, FixedTextAndACopiedCode)
{
    try {
        throw InstallException(-7);
    } catch (const std::exception& e) {
        EXPECT_STREQ("InstallException thrown", e.what());
        const InstallException* thrown = dynamic_cast<const InstallException*>(&e);
        ASSERT_TRUE(thrown != 0);
        EXPECT_EQ(-7, thrown->code);
    }
    InstallException copy(InstallException(3));
    EXPECT_EQ(3, copy.code);
    copy = InstallException(1603);
    EXPECT_EQ(1603, copy.code);
    EXPECT_STREQ("InstallException thrown", copy.what());
}

TEST(MsiLogMessageClass, CopiesShareTheLoggerAndThePrefix)
{
    RecordingContextPtr context = RecordingContext::Create();
    const long references = context.use_count();
    {
        CMsiLogMessage message(context, L"Prefix: ");
        CMsiLogMessage copy(message);
        EXPECT_EQ(references + 2, context.use_count());
        copy.Log(L"from the copy");
        CMsiLogMessage assigned(RecordingContext::Create(), L"Other: ");
        assigned = message;
        EXPECT_EQ(references + 3, context.use_count());
        assigned.Log(L"from the assigned one");
    }
    EXPECT_EQ(references, context.use_count());
    EXPECT_EQ((std::vector<std::wstring>{ L"Prefix: from the copy", L"Prefix: from the assigned one" }),
              context->Texts());
}
