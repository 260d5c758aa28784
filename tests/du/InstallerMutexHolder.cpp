// Another process that uses the installer mutex, for the mutex tests:
//   hold READY RELEASE   takes the mutex, sets the event READY, waits for the
//                        event RELEASE, gives the mutex back
//   abandon              takes the mutex and ends without giving it back
//   try                  exits 0 when the mutex can be taken at once, else 1
// Exit 2 for a usage error, 3 when a Win32 call fails.
#include <string>

#include <windows.h>

namespace {
const wchar_t* const MutexName = L"Global\\_MSIExecute";

HANDLE takeMutex(DWORD timeout, DWORD& result)
{
    HANDLE mutex = CreateMutexW(0, FALSE, MutexName);
    result = mutex ? WaitForSingleObject(mutex, timeout) : WAIT_FAILED;
    return mutex;
}

bool obtained(DWORD result)
{
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    const std::wstring command = argv[1];
    DWORD result = 0;
    if (command == L"hold" && argc == 4) {
        HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
        HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
        HANDLE mutex = takeMutex(INFINITE, result);
        if (!ready || !release || !obtained(result))
            return 3;
        SetEvent(ready);
        WaitForSingleObject(release, INFINITE);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        return 0;
    }
    if (command == L"abandon") {
        takeMutex(INFINITE, result);
        return obtained(result) ? 0 : 3;
    }
    if (command == L"try") {
        HANDLE mutex = takeMutex(0, result);
        if (obtained(result))
            ReleaseMutex(mutex);
        return obtained(result) ? 0 : 1;
    }
    return 2;
}
