#include "MachineSnapshot.h"

#include <msi.h>
#include <sddl.h>

#include <stdexcept>
#include <vector>

#include "TestFiles.h"

namespace {
const wchar_t* const kEnvironmentKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

std::string hex(const BYTE* bytes, DWORD size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (DWORD i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string accessRules(const std::wstring& path)
{
    DWORD size = 0;
    GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, 0, 0, &size);
    std::vector<BYTE> descriptor(size ? size : 1);
    if (!GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size))
        return "unreadable " + std::to_string(GetLastError());
    wchar_t* text = 0;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, 0))
        return "unconvertible " + std::to_string(GetLastError());
    const std::string rules = Narrow(text);
    LocalFree(text);
    return rules;
}

void addFolder(const std::wstring& folder, Snapshot& snapshot)
{
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    const std::string entry = "attributes " + std::to_string(attributes) + ", rules " + accessRules(folder);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const std::string bytes = ReadBytes(folder);
        snapshot["file " + Narrow(folder)] =
            entry + ", bytes " + hex(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
        return;
    }
    snapshot["folder " + Narrow(folder)] = entry;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            addFolder(folder + L"\\" + name, snapshot);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::string rootName(HKEY root)
{
    return root == HKEY_LOCAL_MACHINE ? "HKLM" : root == HKEY_CURRENT_USER ? "HKCU" : "HKEY";
}

std::string valueText(DWORD type, const std::vector<BYTE>& data, DWORD size)
{
    return "type " + std::to_string(type) + ", data " + hex(data.data(), size);
}

void addKey(HKEY root, const std::wstring& path, REGSAM view, const std::string& name, Snapshot& snapshot)
{
    HKEY key = 0;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    snapshot["key " + name] = "";
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[16384];
        DWORD nameSize = 16384, type = 0, size = 0;
        LONG result = RegEnumValueW(key, i, valueName, &nameSize, 0, &type, 0, &size);
        if (result != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size + 1);
        nameSize = 16384;
        result = RegEnumValueW(key, i, valueName, &nameSize, 0, &type, data.data(), &size);
        if (result == ERROR_SUCCESS)
            snapshot["value " + name + "\\" + Narrow(std::wstring(valueName, nameSize))] = valueText(type, data, size);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t subkey[256];
        DWORD size = 256;
        if (RegEnumKeyExW(key, i, subkey, &size, 0, 0, 0, 0) != ERROR_SUCCESS)
            break;
        subkeys.push_back(std::wstring(subkey, size));
    }
    RegCloseKey(key);
    for (const std::wstring& subkey : subkeys)
        addKey(root, path + L"\\" + subkey, view, name + "\\" + Narrow(subkey), snapshot);
}

void addVariable(const std::wstring& variable, Snapshot& snapshot)
{
    HKEY key = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        throw std::runtime_error("cannot open the machine environment");
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, variable.c_str(), 0, &type, 0, &size) == ERROR_SUCCESS) {
        std::vector<BYTE> data(size + 1);
        if (RegQueryValueExW(key, variable.c_str(), 0, &type, data.data(), &size) == ERROR_SUCCESS)
            snapshot["variable " + Narrow(variable)] = valueText(type, data, size);
    }
    RegCloseKey(key);
}
}

Snapshot TakeSnapshot(const SnapshotPlaces& places)
{
    Snapshot snapshot;
    for (const std::wstring& folder : places.folders)
        addFolder(folder, snapshot);
    for (const SnapshotKey& key : places.keys) {
        const std::string view = key.view == KEY_WOW64_32KEY ? " (32)" : key.view == KEY_WOW64_64KEY ? " (64)" : "";
        addKey(key.root, key.path, key.view, rootName(key.root) + view + "\\" + Narrow(key.path), snapshot);
    }
    for (const std::wstring& variable : places.machineVariables)
        addVariable(variable, snapshot);
    for (const std::wstring& product : places.products) {
        if (MsiQueryProductStateW(product.c_str()) == INSTALLSTATE_DEFAULT)
            snapshot["product " + Narrow(product)] = "installed";
    }
    return snapshot;
}

namespace {
void allowOnlyTheCurrentUser(const std::wstring& path)
{
    HANDLE token = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        throw std::runtime_error("cannot open the process token");
    BYTE buffer[256];
    DWORD size = 0;
    const bool read = GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) != FALSE;
    CloseHandle(token);
    wchar_t* sid = 0;
    if (!read || !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid))
        throw std::runtime_error("cannot read the current user");
    const std::wstring rules = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
    PSECURITY_DESCRIPTOR descriptor = 0;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(rules.c_str(), SDDL_REVISION_1, &descriptor, 0))
        throw std::runtime_error("cannot make the access rules");
    const bool set = SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor) != FALSE;
    LocalFree(descriptor);
    if (!set)
        throw std::runtime_error("cannot set the access rules of " + Narrow(path));
}
}

void WriteUsersOwnFile(const std::wstring& path)
{
    static const char usersOwn[] = "user's own \xc3\xa9\xe2\x82\xac\r\n\x00\xff tail";
    CreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str(), 0);
    WriteBytes(path, std::string(usersOwn, sizeof(usersOwn) - 1));
    allowOnlyTheCurrentUser(path);
    if (!SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN))
        throw std::runtime_error("cannot hide " + Narrow(path));
}
