#include "InstallerSession.h"

#include <vector>

UINT ReadInstallerProperty(MSIHANDLE install, const std::wstring& name, std::wstring& value)
{
    std::vector<wchar_t> buffer(256);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const UINT result = MsiGetPropertyW(install, name.c_str(), &buffer[0], &size);
        if (result == ERROR_MORE_DATA) {
            buffer.resize(size + 1);
            continue;
        }
        if (result == ERROR_SUCCESS)
            value.assign(&buffer[0], size);
        return result;
    }
}

UINT FormatInstallerText(MSIHANDLE install, const std::wstring& text, std::wstring& formatted)
{
    ScopedMsiHandle record(MsiCreateRecord(0));
    if (!record.get())
        return ERROR_OUTOFMEMORY;
    UINT result = MsiRecordSetStringW(record.get(), 0, text.c_str());
    if (result != ERROR_SUCCESS)
        return result;
    std::vector<wchar_t> buffer(text.size() + 256);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        result = MsiFormatRecordW(install, record.get(), &buffer[0], &size);
        if (result == ERROR_MORE_DATA) {
            buffer.resize(size + 1);
            continue;
        }
        if (result == ERROR_SUCCESS)
            formatted.assign(&buffer[0], size);
        return result;
    }
}

bool SendInstallerLogLine(MSIHANDLE install, const std::wstring& line)
{
    ScopedMsiHandle record(MsiCreateRecord(1));
    if (!record.get() || MsiRecordSetStringW(record.get(), 0, L"[1]") != ERROR_SUCCESS ||
        MsiRecordSetStringW(record.get(), 1, line.c_str()) != ERROR_SUCCESS)
        return false;
    return MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get()) != -1;
}

bool RunsFromInstallScript(MSIHANDLE install)
{
    return MsiGetMode(install, MSIRUNMODE_SCHEDULED) || MsiGetMode(install, MSIRUNMODE_ROLLBACK) ||
           MsiGetMode(install, MSIRUNMODE_COMMIT);
}
