#pragma once
// Owns one Windows Installer handle (a database, view, record or session
// object) and closes it when it goes out of scope.
#include <windows.h>

#include <msi.h>

class ScopedMsiHandle {
public:
    explicit ScopedMsiHandle(MSIHANDLE handle = 0) : m_handle(handle) {}
    ~ScopedMsiHandle() { close(); }
    MSIHANDLE get() const { return m_handle; }
    // Returns the installer's answer (ERROR_SUCCESS when there was nothing
    // to close).
    UINT close()
    {
        const UINT result = m_handle ? MsiCloseHandle(m_handle) : ERROR_SUCCESS;
        m_handle = 0;
        return result;
    }

    // Closes the handle held, if any, and takes another.
    void reset(MSIHANDLE handle)
    {
        close();
        m_handle = handle;
    }
    // Gives the handle up without closing it.
    MSIHANDLE release()
    {
        const MSIHANDLE handle = m_handle;
        m_handle = 0;
        return handle;
    }

private:
    ScopedMsiHandle(const ScopedMsiHandle&);
    ScopedMsiHandle& operator=(const ScopedMsiHandle&);
    MSIHANDLE m_handle;
};
