#include "InstallerSession.h"

#include <vector>

namespace {
// Calls read(buffer, size) with a buffer grown to the size the installer
// asks for, and keeps the text when it succeeds.
template <class Read>
UINT readSized(std::wstring& text, std::vector<wchar_t>::size_type guess, Read read)
{
    std::vector<wchar_t> buffer(guess);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const UINT result = read(&buffer[0], &size);
        if (result == ERROR_MORE_DATA) {
            buffer.resize(size + 1);
            continue;
        }
        if (result == ERROR_SUCCESS)
            text.assign(&buffer[0], size);
        return result;
    }
}

// Large enough for most CustomActionData values: a value that does not fit
// costs a second call into the installer process.
const std::vector<wchar_t>::size_type PropertyGuess = 2048;
}

UINT ReadInstallerProperty(MSIHANDLE install, const std::wstring& name, std::wstring& value)
{
    return readSized(value, PropertyGuess, [&](wchar_t* buffer, DWORD* size) {
        return MsiGetPropertyW(install, name.c_str(), buffer, size);
    });
}

UINT FormatInstallerText(MSIHANDLE install, const std::wstring& text, std::wstring& formatted)
{
    // Only "[...]" and "{...}" are formatted: any other text is its own
    // formatted text, and the call into the installer process (under Wine
    // close to a millisecond) is left out.
    if (text.find_first_of(L"[{") == std::wstring::npos) {
        formatted = text;
        return ERROR_SUCCESS;
    }
    ScopedMsiHandle record(MsiCreateRecord(0));
    if (!record.get())
        return ERROR_OUTOFMEMORY;
    const UINT result = MsiRecordSetStringW(record.get(), 0, text.c_str());
    if (result != ERROR_SUCCESS)
        return result;
    return readSized(formatted, text.size() + 256, [&](wchar_t* buffer, DWORD* size) {
        return MsiFormatRecordW(install, record.get(), buffer, size);
    });
}

KnownSecrets& InstallerLogSecrets()
{
    // Made at the first use: a line may be sent while the DLL is still
    // being set up.
    static KnownSecrets secrets;
    return secrets;
}

std::wstring InstallerLiteral(const std::wstring& text)
{
    std::wstring literal;
    literal.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'[' || c == L']' || c == L'{' || c == L'}') {
            literal += L"[\\";
            literal += c;
            literal += L']';
        } else {
            literal += c;
        }
    }
    return literal;
}

bool SendInstallerLogLine(MSIHANDLE install, const std::wstring& line)
{
    ScopedMsiHandle record(MsiCreateRecord(1));
    if (!record.get() || MsiRecordSetStringW(record.get(), 0, L"[1]") != ERROR_SUCCESS ||
        MsiRecordSetStringW(record.get(), 1, InstallerLiteral(InstallerLogSecrets().Mask(line)).c_str()) !=
            ERROR_SUCCESS)
        return false;
    return MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get()) != -1;
}

bool RunsFromInstallScript(MSIHANDLE install)
{
    return MsiGetMode(install, MSIRUNMODE_SCHEDULED) || MsiGetMode(install, MSIRUNMODE_ROLLBACK) ||
           MsiGetMode(install, MSIRUNMODE_COMMIT);
}
