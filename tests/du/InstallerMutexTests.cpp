// The installer mutex guard and the protocol around one installer call,
// against the real named mutex and other threads and processes.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "actions/du/InstallerMutex.h"
#include "actions/du/InstallerRun.h"
#include "support/RecordingContext.h"

#include "DuTestSupport.h"

namespace {
// Whether a thread other than the caller can take the mutex at once (it
// gives it back straight away).
bool freeForOtherThreads()
{
    bool taken = false;
    std::thread other([&taken]() {
        HANDLE mutex = CreateMutexW(0, FALSE, InstallerMutexName);
        const DWORD result = WaitForSingleObject(mutex, 0);
        taken = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        if (taken)
            ReleaseMutex(mutex);
        CloseHandle(mutex);
    });
    other.join();
    return taken;
}

// A handle of the test's own keeps the mutex object alive between guards, as
// Windows Installer's does on a real system.
struct MutexObjectKeeper {
    MutexObjectKeeper() : handle(CreateMutexW(0, FALSE, InstallerMutexName)) {}
    ~MutexObjectKeeper() { CloseHandle(handle); }
    HANDLE handle;
};

const std::wstring WaitFailedLine(L"Failed to obtain mutex.  Return code from call to WaitForSingleObject(): 4294967295");
}

TEST(InstallerMutex, GuardOwnsTheMutexAndGivesItBackWhenDropped)
{
    MutexObjectKeeper keeper;
    RecordingContextPtr context = RecordingContext::Create();
    InstallerMutexGuard guard = AcquireInstallerMutex(context);
    ASSERT_TRUE(guard);
    EXPECT_FALSE(freeForOtherThreads());
    guard.reset();
    EXPECT_TRUE(freeForOtherThreads());
    // And for other processes while this thread goes on.
    EXPECT_EQ(0u, ChildProcess(MutexHelper(), L"try").Wait());
    EXPECT_TRUE(context->lines.empty());
}

TEST(InstallerMutexProtocol, CallsOnceWithTheMutexFree)
{
    MutexObjectKeeper keeper;
    RecordingContextPtr context = RecordingContext::Create();
    int calls = 0;
    bool freeDuringCall = false;
    UINT code = 99;
    EXPECT_TRUE(RunUnderInstallerMutex([&]() { ++calls; freeDuringCall = freeForOtherThreads(); return 1603u; },
                                       code, context));
    EXPECT_EQ(1603u, code);
    EXPECT_EQ(1, calls);
    EXPECT_TRUE(freeDuringCall);
    EXPECT_TRUE(context->lines.empty());
}

TEST(InstallerMutexProtocol, RetriesOnceWhileHoldingTheMutexWhenAnotherInstallRuns)
{
    const UINT secondCodes[] = { 0, 1618 };
    for (UINT second : secondCodes) {
        MutexObjectKeeper keeper;
        RecordingContextPtr context = RecordingContext::Create();
        std::vector<bool> freeDuringCall;
        UINT code = 99;
        const InstallerCall call = [&]() {
            freeDuringCall.push_back(freeForOtherThreads());
            return freeDuringCall.size() == 1 ? 1618u : second;
        };
        EXPECT_TRUE(RunUnderInstallerMutex(call, code, context));
        EXPECT_EQ(second, code);
        ASSERT_EQ(2u, freeDuringCall.size());
        EXPECT_TRUE(freeDuringCall[0]);
        EXPECT_FALSE(freeDuringCall[1]);
        EXPECT_TRUE(freeForOtherThreads());
        ASSERT_EQ(1u, context->lines.size());
        EXPECT_TRUE(context->HasLine(L"Installer already running.  Retry while holding mutex...", 2));
    }
}

TEST(InstallerMutexProtocol, MutexFailuresAbortBeforeEitherCall)
{
    RecordingContextPtr context = RecordingContext::Create();
    HANDLE squatter = 0;
    int calls = 0;
    UINT code = 99;
    const InstallerCall call = [&]() {
        // Between the two waits the name goes to an object of another kind.
        ++calls;
        squatter = CreateEventW(0, TRUE, FALSE, InstallerMutexName);
        return 1618u;
    };
    EXPECT_FALSE(RunUnderInstallerMutex(call, code, context));
    EXPECT_EQ(1, calls);
    ASSERT_EQ(3u, context->lines.size());
    EXPECT_EQ(L"Installer already running.  Retry while holding mutex...", context->lines[0].text);
    EXPECT_EQ(WaitFailedLine, context->lines[1].text);
    EXPECT_EQ(L"Failed to obtain MSI mutex (2).  Aborting...", context->lines[2].text);
    EXPECT_EQ(4, context->lines[2].level);

    context = RecordingContext::Create();
    EXPECT_FALSE(RunUnderInstallerMutex(call, code, context));
    EXPECT_EQ(1, calls);
    ASSERT_EQ(2u, context->lines.size());
    EXPECT_EQ(L"Failed to obtain MSI mutex (1).  Aborting...", context->lines[1].text);
    EXPECT_EQ(4, context->lines[1].level);
    CloseHandle(squatter);
}
