// RemoveShortcut: deletes a shortcut file and then the folders that held it,
// walking upwards as long as each folder can be removed, but never into a
// shell folder. Fails towards the host only for a path it refuses.
#include <string>

#include "core/Action.h"
#include "core/PathRules.h"
#include "core/ShellFolders.h"
#include "PocoWrapper/File.h"

#include "ShellArgumentNames.h"
#include "ShortcutTarget.h"

namespace {
const int kRemoveAttempts = 5;
const DWORD kRetryPauseMs = 250;
// The first characters of a path (the "C:\" of a local one) are never
// examined for a folder to remove.
const std::wstring::size_type kFirstExaminedIndex = 3;

// A web shortcut is saved as .url; when no file exists under the .lnk name,
// the .url one is meant.
std::wstring webShortcutPath(const std::wstring& linkPath)
{
    // Nothing exists at an empty path (and Poco refuses to look).
    if (!linkPath.empty() && PocoWrapper::File(linkPath).exists())
        return linkPath;
    return WebShortcutPath(linkPath);
}

// True when the folder is gone; otherwise error holds the reason. A folder
// that is not empty yet gets a few more chances.
bool removeFolder(const std::wstring& folder, DWORD& error)
{
    const std::wstring win32Folder = PocoWrapper::toExtendedLengthPathW(folder);
    for (int attempt = 0; attempt < kRemoveAttempts; ++attempt) {
        if (RemoveDirectoryW(win32Folder.c_str()))
            return true;
        error = GetLastError();
        if (error != ERROR_DIR_NOT_EMPTY)
            return false;
        Sleep(kRetryPauseMs);
    }
    return false;
}

void removeEmptiedFolders(IActionContext& context, const std::wstring& linkPath)
{
    const std::vector<std::wstring> shellFolders = ShellFolders();
    for (std::wstring::size_type i = linkPath.size(); i-- > kFirstExaminedIndex;) {
        if (linkPath[i] != L'\\' && linkPath[i] != L'/')
            continue;
        const std::wstring folder = linkPath.substr(0, i);
        // The desktop, the Start menu and the like stay even when empty.
        if (IsShellFolder(FullPath(folder), shellFolders)) {
            context.Log(LogLevelInfo, L" Shell folder stays: " + folder);
            return;
        }
        context.Log(LogLevelInfo, L" Remove directory: " + folder);
        DWORD error = 0;
        if (removeFolder(folder, error))
            continue;
        if (error == ERROR_DIR_NOT_EMPTY)
            context.Log(LogLevelInfo, L"Shortcut directory still contains other shortcuts." + std::to_wstring(error));
        else
            context.Log(LogLevelInfo, L"Failed to remove directory. Error code: " + std::to_wstring(error));
        return;
    }
}

int removeShortcut(IActionContext& context)
{
    if (*context.GetArg(ShellArgumentNames::RunAction) != L"1") {
        context.Log(LogLevelInfo, L"runAction not 1. Skipping...");
        return ActionDone;
    }
    std::wstring linkPath = *context.GetArg(ShellArgumentNames::LinkFullPath);
    const std::wstring target = *context.GetArg(ShellArgumentNames::PathToTarget);
    if (IsWebTarget(target))
        linkPath = webShortcutPath(linkPath);

    // The path is used exactly as given: " notes.lnk" is not "notes.lnk".
    if (CheckGiven(linkPath) == PathEmpty) {
        context.Log(LogLevelError, L" Empty link file");
    } else {
        if (!AcceptPath(context, ShellArgumentNames::LinkFullPath, linkPath, CheckTarget(linkPath)))
            return ActionFailed;
        context.Log(LogLevelInfo, L" Remove link file: " + linkPath);
        if (DeleteFileW(PocoWrapper::toExtendedLengthPathW(linkPath).c_str()))
            removeEmptiedFolders(context, linkPath);
        else
            context.Log(LogLevelError, L" Cannot remove lik file: " + linkPath);
    }
    context.Log(LogLevelInfo, L"RemoveShortcut is done");
    return ActionDone;
}
}

VERRAND_ACTION(RemoveShortcut)
{
    try {
        context->Log(LogLevelInfo, L"Running RemoveShortcut");
        return removeShortcut(*context);
    } catch (...) {
        context->Log(LogLevelError, L"RemoveShortcut crashed");
    }
    return ActionDone;
}
