// What InstallDUBundle and UnInstallDUBundle do to process-wide installer
// state: the UI handler and level, and the machine-wide installer mutex
// shared with other processes.
#include <gtest/gtest.h>

#include <thread>

#include <windows.h>
#include <msi.h>

#include "support/ThrowingContext.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "DuTestSupport.h"

namespace {
int testHandlerCalls = 0;
int WINAPI testHandler(LPVOID, UINT, LPCWSTR)
{
    ++testHandlerCalls;
    return 0;
}

class DuInstallerStateTest : public ::testing::Test {
protected:
    void TearDown() { RemoveProduct(MachineProduct); }

    RecordingContextPtr prepare(RecordingContextPtr context, const std::wstring& package)
    {
        context->arguments[L"DUBundle"] = PackagePath(package);
        context->arguments[L"PerUser"] = L"0";
        context->properties[L"$logs.folder"] = logs.path() + L"\\";
        context->properties[L"$du.id"] = L"state";
        return context;
    }

    ScopedTempDir logs;
};

const wchar_t* const WaitFailedLine =
    L"Failed to obtain mutex.  Return code from call to WaitForSingleObject(): 4294967295";
}

TEST_F(DuInstallerStateTest, PreviousUiHandlerAndLevelComeBackOnEveryPath)
{
    HANDLE squatter = 0;
    // The unit's identifier is read once the silent interface is in place.
    boost::shared_ptr<ThrowingContext> throwing(new ThrowingContext);
    throwing->failingArgument = L"$du.id";
    struct Path {
        const char* name;
        RecordingContextPtr context;
        const wchar_t* package;
        int status;
    };
    Path paths[] = {
        { "success", RecordingContext::Create(), L"machine", 0 },
        { "installer failure", RecordingContext::Create(), L"failing", 1 },
        { "mutex failure", RecordingContext::Create(), L"machine", 1 },
        { "exception", throwing, L"machine", -1 },
    };
    for (Path& path : paths) {
        SCOPED_TRACE(path.name);
        if (std::string(path.name) == "mutex failure")
            squatter = CreateEventW(0, TRUE, FALSE, L"Global\\_MSIExecute");
        MsiSetExternalUIW(testHandler, INSTALLLOGMODE_INFO | INSTALLLOGMODE_ACTIONSTART, 0);
        MsiSetInternalUI(INSTALLUILEVEL_BASIC, 0);
        testHandlerCalls = 0;
        RecordingContextPtr context = prepare(path.context, path.package);
        const long uses = context.use_count();

        if (path.status < 0)
            EXPECT_THROW(CallAction("InstallDUBundle", context), std::runtime_error);
        else
            EXPECT_EQ(path.status, CallAction("InstallDUBundle", context));

        EXPECT_EQ(uses, context.use_count());
        EXPECT_EQ(0, testHandlerCalls);
        EXPECT_EQ(testHandler, MsiSetExternalUIW(0, 0, 0));
        EXPECT_EQ(INSTALLUILEVEL_BASIC, MsiSetInternalUI(INSTALLUILEVEL_DEFAULT, 0));
        RemoveProduct(MachineProduct);
    }
    CloseHandle(squatter);
}

TEST_F(DuInstallerStateTest, MutexFailureAbortsBeforeTheInstaller)
{
    HANDLE squatter = CreateEventW(0, TRUE, FALSE, L"Global\\_MSIExecute");
    RecordingContextPtr context = prepare(RecordingContext::Create(), L"machine");
    EXPECT_EQ(1, CallAction("InstallDUBundle", context));
    EXPECT_EQ((std::vector<std::wstring>{ WaitFailedLine, L"Failed to obtain MSI mutex (1).  Aborting...",
                                          L"Another msi installer is running: aborting..." }),
              context->Texts(4));
    EXPECT_FALSE(ProductInstalled(MachineProduct));

    context = prepare(RecordingContext::Create(), L"machine");
    context->arguments[L"Guid"] = MachineProduct;
    EXPECT_EQ(1, CallAction("UnInstallDUBundle", context));
    EXPECT_EQ((std::vector<std::wstring>{ WaitFailedLine, L"Failed to obtain MSI mutex (1).  Aborting..." }),
              context->Texts(4));
    CloseHandle(squatter);
}

TEST_F(DuInstallerStateTest, InstallWaitsUntilAnotherInstallerLetsGo)
{
    NamedEvent ready(L"VerrandMutexHolderReady"), release(L"VerrandMutexHolderRelease");
    ChildProcess holder(MutexHelper(), L"hold " + ready.name + L" " + release.name);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.handle, 60000));

    RecordingContextPtr context = prepare(RecordingContext::Create(), L"machine");
    int status = -1;
    HANDLE finished = CreateEventW(0, TRUE, FALSE, 0);
    std::thread installer([&]() {
        status = CallAction("InstallDUBundle", context);
        SetEvent(finished);
    });
    // While the other process holds the mutex nothing is installed.
    const bool stillWaiting = WaitForSingleObject(finished, 3000) == WAIT_TIMEOUT;
    const bool installedMeanwhile = ProductInstalled(MachineProduct);
    SetEvent(release.handle);
    installer.join();
    CloseHandle(finished);
    EXPECT_TRUE(stillWaiting);
    EXPECT_FALSE(installedMeanwhile);
    EXPECT_EQ(0u, holder.Wait());
    EXPECT_EQ(0, status);
    EXPECT_TRUE(ProductInstalled(MachineProduct));
}

TEST_F(DuInstallerStateTest, AbandonedMutexDoesNotBlockAndIsFreeAfterwards)
{
    // The test's own handle keeps the mutex object alive throughout.
    HANDLE keeper = CreateMutexW(0, FALSE, L"Global\\_MSIExecute");
    ASSERT_EQ(0u, ChildProcess(MutexHelper(), L"abandon").Wait());
    RecordingContextPtr context = prepare(RecordingContext::Create(), L"machine");
    EXPECT_EQ(0, CallAction("InstallDUBundle", context));
    EXPECT_TRUE(ProductInstalled(MachineProduct));
    EXPECT_EQ(0u, ChildProcess(MutexHelper(), L"try").Wait());

    context = prepare(RecordingContext::Create(), L"machine");
    context->arguments[L"Guid"] = MachineProduct;
    EXPECT_EQ(0, CallAction("UnInstallDUBundle", context));
    EXPECT_EQ(0u, ChildProcess(MutexHelper(), L"try").Wait());
    CloseHandle(keeper);
}
