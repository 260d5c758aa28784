#include "Mossel.h"

#include <algorithm>
#include <cwchar>
#include <string>

CLibraryInterop::CLibraryInterop(boost::shared_ptr<ILogger> logger)
    : m_module(0), m_logger(logger), m_message(logger, L"CLibraryInterop: ")
{
}

CLibraryInterop::~CLibraryInterop()
{
    if (m_module)
        FreeLibrary(reinterpret_cast<HMODULE>(m_module));
}

bool CLibraryInterop::SetFile(const wchar_t* path)
{
    if (m_module) {
        FreeLibrary(reinterpret_cast<HMODULE>(m_module));
        m_module = 0;
    }
    HMODULE module = LoadLibraryW(path);
    if (!module) {
        const DWORD error = GetLastError();
        CString line;
        line.Format(L"LoadLibrary failed for %s (%lu)", path ? path : L"", error);
        m_message.Log(line);
        SetLastError(error);
        return false;
    }
    m_module = reinterpret_cast<std::uintptr_t>(module);
    return true;
}

CLibraryInterop::Function CLibraryInterop::GetFunction(const wchar_t* name)
{
    if (!m_module || !name) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    // By explicit lengths: the name's characters in, exactly the bytes
    // written out.
    const int length = static_cast<int>(wcslen(name));
    const int size = length > 0 ? WideCharToMultiByte(CP_ACP, 0, name, length, 0, 0, 0, 0) : 0;
    std::string narrow(size > 0 ? size : 0, '\0');
    if (size > 0)
        narrow.resize(std::max(0, WideCharToMultiByte(CP_ACP, 0, name, length, &narrow[0], size, 0, 0)));
    return reinterpret_cast<Function>(GetProcAddress(reinterpret_cast<HMODULE>(m_module), narrow.c_str()));
}
