#include "TestFiles.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <shlwapi.h>

namespace {
void check(LONG rc, const char* what)
{
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error(std::string(what) + " failed with " + std::to_string(rc));
}

struct Key {
    HKEY handle;
    Key() : handle(0) {}
    ~Key() { if (handle) RegCloseKey(handle); }
};
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), 0, 0, 0, 0);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size, 0, 0);
    return result;
}

ScopedTempDir::ScopedTempDir()
{
    static unsigned counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    for (;;) {
        m_path = std::wstring(temp) + L"vt" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
        if (CreateDirectoryW(m_path.c_str(), 0))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create a temporary folder");
    }
}

ScopedTempDir::~ScopedTempDir()
{
    RemoveTree(m_path);
}

std::wstring ScopedTempDir::file(const std::wstring& name) const
{
    return m_path + L"\\" + name;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    // An existing file is rewritten in place and cut to its new length:
    // Wine takes milliseconds to re-create one, which adds up in tests that
    // write thousands of inputs.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot write " + Narrow(path));
    // As much as fits is written (a test may fill a volume on purpose), and
    // the file ends where the writing stopped.
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, 0);
    SetFilePointer(file, static_cast<LONG>(written), 0, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + Narrow(path));
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..")
                RemoveTree(path + L"\\" + name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

namespace {
void collectTree(const std::wstring& folder, const std::wstring& relative, std::map<std::wstring, std::string>& tree)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[path] = "<folder>";
            collectTree(folder + L"\\" + name, path, tree);
        } else {
            tree[path] = ReadBytes(folder + L"\\" + name);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}
}

std::map<std::wstring, std::string> TreeContent(const std::wstring& folder)
{
    std::map<std::wstring, std::string> tree;
    collectTree(folder, std::wstring(), tree);
    return tree;
}

void RegSetText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value, REGSAM view,
                DWORD type)
{
    Key k;
    check(RegCreateKeyExW(root, key.c_str(), 0, 0, 0, KEY_ALL_ACCESS | view, 0, &k.handle, 0), "RegCreateKeyExW");
    check(RegSetValueExW(k.handle, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
          "RegSetValueExW");
}

void RegSetNumber(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value, REGSAM view)
{
    Key k;
    check(RegCreateKeyExW(root, key.c_str(), 0, 0, 0, KEY_ALL_ACCESS | view, 0, &k.handle, 0), "RegCreateKeyExW");
    check(RegSetValueExW(k.handle, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)),
          "RegSetValueExW");
}

bool RegKeyExists(HKEY root, const std::wstring& key, REGSAM view)
{
    Key k;
    return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &k.handle) == ERROR_SUCCESS;
}

bool RegValueExists(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view)
{
    Key k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &k.handle) != ERROR_SUCCESS)
        return false;
    return RegQueryValueExW(k.handle, name.c_str(), 0, 0, 0, 0) == ERROR_SUCCESS;
}

std::wstring RegGetText(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view, DWORD* typeOut)
{
    Key k;
    check(RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &k.handle), "RegOpenKeyExW");
    DWORD type = 0;
    DWORD size = 0;
    check(RegQueryValueExW(k.handle, name.c_str(), 0, &type, 0, &size), "RegQueryValueExW");
    std::vector<BYTE> data(size + 4, 0);
    check(RegQueryValueExW(k.handle, name.c_str(), 0, &type, &data[0], &size), "RegQueryValueExW");
    if (typeOut)
        *typeOut = type;
    if (type == REG_DWORD)
        return std::to_wstring(*reinterpret_cast<DWORD*>(&data[0]));
    const wchar_t* chars = reinterpret_cast<const wchar_t*>(&data[0]);
    std::wstring text(chars, size / sizeof(wchar_t));
    while (!text.empty() && text[text.size() - 1] == L'\0')
        text.erase(text.size() - 1);
    if (type == REG_MULTI_SZ) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'\0')
                text[i] = L'|';
        }
    }
    return text;
}

void RegRemoveTree(HKEY root, const std::wstring& key, REGSAM view)
{
    Key k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS | view, &k.handle) != ERROR_SUCCESS)
        return;
    wchar_t name[256];
    for (;;) {
        DWORD length = 256;
        if (RegEnumKeyExW(k.handle, 0, name, &length, 0, 0, 0, 0) != ERROR_SUCCESS)
            break;
        RegRemoveTree(root, key + L"\\" + name, view);
    }
    RegCloseKey(k.handle);
    k.handle = 0;
    if (view)
        RegDeleteKeyExW(root, key.c_str(), view, 0);
    else
        RegDeleteKeyW(root, key.c_str());
}

void RegSetRaw(HKEY root, const std::wstring& key, const RegistryValue& value, REGSAM view)
{
    Key k;
    check(RegCreateKeyExW(root, key.c_str(), 0, 0, 0, KEY_ALL_ACCESS | view, 0, &k.handle, 0), "RegCreateKeyExW");
    check(WriteRegistryValue(k.handle, value), "WriteRegistryValue");
}

std::map<std::wstring, std::string> RegKeyContent(HKEY root, const std::wstring& key, REGSAM view)
{
    Key k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &k.handle) != ERROR_SUCCESS)
        return { { L"<no key>", "" } };
    std::vector<RegistryValue> values;
    check(ReadRegistryValues(k.handle, values), "ReadRegistryValues");
    std::map<std::wstring, std::string> content;
    for (const RegistryValue& value : values) {
        std::string text = std::to_string(value.type) + " ";
        for (unsigned char byte : value.data) {
            text += "0123456789abcdef"[byte >> 4];
            text += "0123456789abcdef"[byte & 15];
        }
        content[value.name] = text;
    }
    return content;
}

RegistryValue RawValue(const std::wstring& name, DWORD type, const std::string& data)
{
    RegistryValue value;
    value.name = name;
    value.present = true;
    value.type = type;
    value.data = data;
    return value;
}

std::vector<RegistryValue> EveryRegistryType()
{
    return {
        RawValue(L"text", REG_SZ, std::string("a\0b\0\0\0", 6)),
        RawValue(L"expand", REG_EXPAND_SZ, std::string("%\0P\0%\0\0\0", 8)),
        RawValue(L"multi", REG_MULTI_SZ, std::string("a\0\0\0\0\0b\0\0\0\0\0", 12)),
        RawValue(L"binary", REG_BINARY, std::string("\0\x01\0\xff\n\0\0", 7)),
        RawValue(L"dword", REG_DWORD, std::string("\x02\0\0\x80", 4)),
        RawValue(L"qword", REG_QWORD, std::string("\x01\0\0\0\0\0\0\xff", 8)),
        RawValue(L"none", REG_NONE, std::string("\0\0\x07", 3)),
        RawValue(L"empty", REG_BINARY, std::string()),
        RawValue(L"", REG_SZ, std::string("d\0", 2)),
        RawValue(L"\u00c4 \u4e2d", REG_SZ, std::string("\xc4\0", 2)),
    };
}

bool RunsUnderWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}
