#pragma once
#include <windows.h>

// An open registry key, closed when the object goes.
class ScopedRegistryKey {
public:
    ScopedRegistryKey() : m_key(0) {}
    ~ScopedRegistryKey() { close(); }
    HKEY* receive() { close(); return &m_key; }
    HKEY get() const { return m_key; }
    void close()
    {
        if (m_key) {
            RegCloseKey(m_key);
            m_key = 0;
        }
    }

private:
    ScopedRegistryKey(const ScopedRegistryKey&);
    ScopedRegistryKey& operator=(const ScopedRegistryKey&);
    HKEY m_key;
};
