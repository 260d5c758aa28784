#include "NsisOutput.h"

#include <commctrl.h>

#include "core/LogLevel.h"
#include "host/InstallLogOutput.h"
#include "host/Output.h"

#include "PluginApi.h"

std::wstring DetailsLine(int level, const std::wstring& text)
{
    switch (level) {
    case LogLevelWarning:
        return L"Warning: " + text;
    case LogLevelError:
        return L"Error: " + text;
    default:
        return text;
    }
}

bool AddDetailsLine(HWND parent, const std::wstring& line)
{
    if (!parent)
        return false;
    const HWND page = FindWindowExW(parent, 0, L"#32770", 0);
    const HWND list = page ? GetDlgItem(page, NsisDetailsListId) : 0;
    if (!list)
        return false;
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::wstring text(line);
    item.pszText = &text[0];
    const LRESULT at = SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (at < 0)
        return false;
    SendMessageW(list, LVM_ENSUREVISIBLE, at, FALSE);
    return true;
}

void NsisOutput::show(const std::wstring& line)
{
    AddDetailsLine(m_parent, line);
    if (m_logFile != INVALID_HANDLE_VALUE)
        AppendLine(m_logFile, utf8(line));
}

void NsisOutput::writeLine(int level, const std::wstring& text)
{
    show(DetailsLine(level, text));
}

// The run's properties hold it already, for GetProperty.
void NsisOutput::writeProperty(const std::wstring&, const std::wstring&) {}

void NsisOutput::writeInstallLog(const std::wstring& text)
{
    show(L"Install log: " + text);
}
