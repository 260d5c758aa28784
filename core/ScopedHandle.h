#pragma once
// Owns one Win32 kernel handle (file, pipe, event, process, thread, job,
// snapshot) and closes it when it goes out of scope. Both values the system
// uses for "no handle" (NULL and INVALID_HANDLE_VALUE) count as empty.
#include <windows.h>

class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~ScopedHandle() { close(); }
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != 0; }
    // False when closing failed.
    bool close()
    {
        if (!valid())
            return true;
        const bool closed = CloseHandle(m_handle) != FALSE;
        m_handle = INVALID_HANDLE_VALUE;
        return closed;
    }
    // Closes the handle held, if any, and takes another.
    void reset(HANDLE handle)
    {
        close();
        m_handle = handle;
    }

private:
    ScopedHandle(const ScopedHandle&);
    ScopedHandle& operator=(const ScopedHandle&);
    HANDLE m_handle;
};
