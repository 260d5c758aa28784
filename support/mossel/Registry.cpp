#include "Mossel.h"

#include <vector>

namespace {
struct RootName {
    const wchar_t* name;
    HKEY key;
};

const RootName kRoots[] = {
    { L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE }, { L"HKLM", HKEY_LOCAL_MACHINE },
    { L"HKEY_CURRENT_USER", HKEY_CURRENT_USER },   { L"HKCU", HKEY_CURRENT_USER },
    { L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT },   { L"HKCR", HKEY_CLASSES_ROOT },
    { L"HKEY_USERS", HKEY_USERS },                 { L"HKU", HKEY_USERS },
    { L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG },
};

// Reads a value of one of the given types into bytes. Sets the last value type.
bool readValue(HKEY key, const CString& name, std::vector<BYTE>& data, DWORD& type)
{
    if (!key) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        LONG rc = RegQueryValueExW(key, name, 0, &type, data.empty() ? 0 : &data[0], &size);
        if (rc == ERROR_SUCCESS && !data.empty() && size <= data.size()) {
            data.resize(size);
            return true;
        }
        if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
            data.resize(size + sizeof(wchar_t) * 2);
            continue;
        }
        SetLastError(rc);
        return false;
    }
}

CString textOf(const std::vector<BYTE>& data)
{
    const wchar_t* chars = reinterpret_cast<const wchar_t*>(data.empty() ? 0 : &data[0]);
    size_t count = data.size() / sizeof(wchar_t);
    while (count > 0 && chars[count - 1] == L'\0')
        --count;
    return CString(chars, static_cast<int>(count));
}

bool done(LONG rc)
{
    if (rc != ERROR_SUCCESS) {
        SetLastError(rc);
        return false;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}
}

bool CInstallRegistry::OpenKey(const CString& fullKeyPath, REGSAM access)
{
    const int separator = fullKeyPath.Find(L'\\');
    const CString rootName = separator < 0 ? fullKeyPath : fullKeyPath.Left(separator);
    const CString subKey = separator < 0 ? CString() : fullKeyPath.Mid(separator + 1);
    for (size_t i = 0; i < sizeof(kRoots) / sizeof(kRoots[0]); ++i) {
        if (rootName.CompareNoCase(kRoots[i].name) == 0)
            return OpenKey(kRoots[i].key, subKey, access);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

bool CInstallRegistry::OpenKey(HKEY root, const CString& subKey, REGSAM access)
{
    CloseKeys();
    HKEY key = 0;
    const LONG rc = RegOpenKeyExW(root, subKey, 0, access, &key);
    if (rc != ERROR_SUCCESS) {
        SetLastError(rc);
        return false;
    }
    m_rootKey = root;
    m_hKey = key;
    m_keyPath = subKey;
    m_options = access;
    m_state = 1;
    SetLastError(ERROR_SUCCESS);
    return true;
}

void CInstallRegistry::CloseKeys()
{
    if (m_hKey && m_state)
        RegCloseKey(m_hKey);
    m_hKey = 0;
    m_rootKey = 0;
    m_state = 0;
}

bool CInstallRegistry::GetString(const CString& name, CString& value)
{
    std::vector<BYTE> data;
    DWORD type = 0;
    if (!readValue(m_hKey, name, data, type))
        return false;
    m_lastValueType = type;
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        SetLastError(ERROR_INVALID_DATATYPE);
        return false;
    }
    value = textOf(data);
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool CInstallRegistry::SetString(const CString& name, const CString& value, bool expandable)
{
    if (!m_hKey) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    const DWORD bytes = static_cast<DWORD>((value.GetLength() + 1) * sizeof(wchar_t));
    return done(RegSetValueExW(m_hKey, name, 0, expandable ? REG_EXPAND_SZ : REG_SZ,
                               reinterpret_cast<const BYTE*>(value.GetString()), bytes));
}

bool CInstallRegistry::GetDWord(const CString& name, DWORD& value)
{
    std::vector<BYTE> data;
    DWORD type = 0;
    if (!readValue(m_hKey, name, data, type))
        return false;
    m_lastValueType = type;
    if (type != REG_DWORD || data.size() < sizeof(DWORD)) {
        SetLastError(ERROR_INVALID_DATATYPE);
        return false;
    }
    value = *reinterpret_cast<const DWORD*>(&data[0]);
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool CInstallRegistry::SetDWord(const CString& name, DWORD value)
{
    if (!m_hKey) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return done(RegSetValueExW(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)));
}

bool CInstallRegistry::GetMultiString(const CString& name, CStringArray& values)
{
    std::vector<BYTE> data;
    DWORD type = 0;
    if (!readValue(m_hKey, name, data, type))
        return false;
    m_lastValueType = type;
    if (type != REG_MULTI_SZ) {
        SetLastError(ERROR_INVALID_DATATYPE);
        return false;
    }
    values.RemoveAll();
    // Every entry counts, empty ones included: the list is the whole data,
    // each entry ended by a NUL and the list by one more. Data that lacks
    // the last NUL or two still gives all its entries.
    const wchar_t* chars = reinterpret_cast<const wchar_t*>(data.empty() ? 0 : &data[0]);
    size_t count = data.size() / sizeof(wchar_t);
    if (count > 0 && chars[count - 1] == L'\0' && (count == 1 || chars[count - 2] == L'\0'))
        --count; // the NUL that ends the list
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        if (chars[i] != L'\0')
            continue;
        values.Add(CString(chars + start, static_cast<int>(i - start)));
        start = i + 1;
    }
    if (start < count)
        values.Add(CString(chars + start, static_cast<int>(count - start)));
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool CInstallRegistry::SetMultiString(const CString& name, const CStringArray& values)
{
    if (!m_hKey) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::wstring block;
    for (int i = 0; i < values.GetSize(); ++i) {
        block += values[i].str();
        block += L'\0';
    }
    block += L'\0';
    return done(RegSetValueExW(m_hKey, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(block.data()),
                               static_cast<DWORD>(block.size() * sizeof(wchar_t))));
}

bool CInstallRegistry::DeleteValue(const CString& name)
{
    if (!m_hKey) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return done(RegDeleteValueW(m_hKey, name));
}
