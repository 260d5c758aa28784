#pragma once
#include <windows.h>

#include "CString.h"
#include "Export.h"

// Registry-key wrapper. Construction, copying and the accessors are exported
// by Verrand; opening keys and the value operations live in Mossel. Failures
// come back as false with the reason in GetLastError().
class VERRAND_API CInstallRegistry {
public:
    CInstallRegistry();
    CInstallRegistry(const CInstallRegistry& other);
    CInstallRegistry& operator=(const CInstallRegistry& other);
    ~CInstallRegistry();

    HKEY GetHKEY() const;
    unsigned long GetLastValueType() const;
    const CString& GetKeyPath() const;

    // Full path whose first component names the root: HKEY_LOCAL_MACHINE,
    // HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG
    // or HKLM, HKCU, HKCR, HKU. KEY_WOW64_64KEY/32KEY in the access mask
    // select the registry view.
    MOSSEL_API bool OpenKey(const CString& fullKeyPath, REGSAM access);
    MOSSEL_API bool OpenKey(HKEY root, const CString& subKey, REGSAM access);

    MOSSEL_API bool GetString(const CString& name, CString& value);
    // expandable: store as REG_EXPAND_SZ, else REG_SZ.
    MOSSEL_API bool SetString(const CString& name, const CString& value, bool expandable);
    MOSSEL_API bool GetDWord(const CString& name, DWORD& value);
    MOSSEL_API bool SetDWord(const CString& name, DWORD value);
    // Every entry of the list, empty ones included; SetMultiString writes
    // them back to the same data.
    MOSSEL_API bool GetMultiString(const CString& name, CStringArray& values);
    MOSSEL_API bool SetMultiString(const CString& name, const CStringArray& values);
    MOSSEL_API bool DeleteValue(const CString& name);
    MOSSEL_API void CloseKeys();

private:
    static const int RegistrySearchType_Directory = 0;
    static const int RegistrySearchType_FileName = 1;
    static const int RegistrySearchType_RawValue = 2;
    static const int RegistrySearchType_64bit = 16; // a flag bit, not a fourth type

    HKEY m_rootKey;
    HKEY m_hKey;
    CString m_keyPath;
    unsigned long m_lastValueType;
    unsigned long m_options;
    unsigned long m_state;
};
