#include "MachineMutex.h"

#include <sddl.h>

const wchar_t* const RegistryEditMutexName = L"Global\\VerrandRegistryEdit";

namespace {
// Full access for the system and administrators, waiting and releasing for
// everyone: a setup of any account can take the lock whoever made it first.
const wchar_t* const kMutexSecurity = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)";

HANDLE createMutex(const wchar_t* name)
{
    PSECURITY_DESCRIPTOR descriptor = 0;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(kMutexSecurity, SDDL_REVISION_1, &descriptor, 0);
    SECURITY_ATTRIBUTES attributes = { sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE };
    // Only the rights to wait and to release, so that a mutex another
    // account made opens too.
    HANDLE mutex = CreateMutexExW(&attributes, name, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
    const DWORD error = GetLastError();
    if (descriptor)
        LocalFree(descriptor);
    SetLastError(error);
    return mutex;
}
}

MachineMutexLock::MachineMutexLock(const wchar_t* name) : m_mutex(createMutex(name)), m_held(false), m_error(0)
{
    if (!m_mutex) {
        m_error = GetLastError();
        return;
    }
    const DWORD result = WaitForSingleObject(m_mutex, INFINITE);
    m_held = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    if (!m_held)
        m_error = result == WAIT_FAILED ? GetLastError() : result;
}

MachineMutexLock::~MachineMutexLock()
{
    if (m_held)
        ReleaseMutex(m_mutex);
    if (m_mutex)
        CloseHandle(m_mutex);
}
