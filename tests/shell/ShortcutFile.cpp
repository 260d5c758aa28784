#include "ShortcutFile.h"

#include <cstring>
#include <stdexcept>

#include <windows.h>
#include <objbase.h>

#include <intshcut.h>
#include <isguids.h>
#include <shlobj.h>

#include "support/TestFiles.h"

namespace {
class Apartment {
public:
    Apartment() { CoInitialize(0); }
    ~Apartment() { CoUninitialize(); }
};

template <class T>
class Holder {
public:
    Holder() : p(0) {}
    ~Holder() { if (p) p->Release(); }
    T* p;
};

void check(HRESULT hr, const char* what)
{
    if (FAILED(hr))
        throw std::runtime_error(std::string(what) + " failed");
}
}

ShellLinkContents ReadShellLink(const std::wstring& file)
{
    Apartment apartment;
    Holder<IShellLinkW> link;
    check(CoCreateInstance(CLSID_ShellLink, 0, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                           reinterpret_cast<void**>(&link.p)), "CoCreateInstance");
    Holder<IPersistFile> persist;
    check(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist.p)), "QueryInterface");
    check(persist.p->Load(file.c_str(), STGM_READ), "Load");

    ShellLinkContents contents;
    wchar_t text[1024];
    text[0] = 0;
    check(link.p->GetPath(text, 1024, 0, SLGP_RAWPATH), "GetPath");
    contents.path = text;
    text[0] = 0;
    check(link.p->GetArguments(text, 1024), "GetArguments");
    contents.arguments = text;
    text[0] = 0;
    check(link.p->GetDescription(text, 1024), "GetDescription");
    contents.description = text;
    text[0] = 0;
    contents.iconIndex = -1;
    check(link.p->GetIconLocation(text, 1024, &contents.iconIndex), "GetIconLocation");
    contents.iconPath = text;
    text[0] = 0;
    check(link.p->GetWorkingDirectory(text, 1024), "GetWorkingDirectory");
    contents.workingDir = text;
    return contents;
}

DWORD ShowCommandInHeader(const std::wstring& file)
{
    const std::string bytes = ReadBytes(file);
    const size_t offset = 0x3C;
    if (bytes.size() < offset + sizeof(DWORD))
        throw std::runtime_error("shell link header too short");
    DWORD value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

std::wstring InternetShortcutEntry(const std::wstring& file, const std::wstring& key)
{
    wchar_t value[1024];
    GetPrivateProfileStringW(L"InternetShortcut", key.c_str(), L"", value, 1024, file.c_str());
    return value;
}

bool InternetShortcutOffersShellLink()
{
    Apartment apartment;
    Holder<IUnknown> object;
    if (FAILED(CoCreateInstance(CLSID_InternetShortcut, 0, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&object.p))))
        return false;
    Holder<IShellLinkW> link;
    return SUCCEEDED(object.p->QueryInterface(IID_IShellLinkW, reinterpret_cast<void**>(&link.p)));
}
