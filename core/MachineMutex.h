#pragma once
// A named mutex that every process of the machine shares, held by scope.
#include <windows.h>

// The library's own lock for machine-wide registry edits that read before
// they write: an environment value's read-modify-write, and the check that a
// key is empty before it is deleted (with the writes that could refill it).
extern const wchar_t* const RegistryEditMutexName;

class MachineMutexLock {
public:
    // Creates or opens the mutex and waits for it without a time limit. An
    // abandoned mutex (its owner ended while holding it) counts as obtained.
    explicit MachineMutexLock(const wchar_t* name);
    // Gives the mutex back, then closes it.
    ~MachineMutexLock();

    bool held() const { return m_held; }
    // Why it is not held: the Win32 error of the creation or of the wait.
    DWORD error() const { return m_error; }

private:
    MachineMutexLock(const MachineMutexLock&);
    MachineMutexLock& operator=(const MachineMutexLock&);

    HANDLE m_mutex;
    bool m_held;
    DWORD m_error;
};
