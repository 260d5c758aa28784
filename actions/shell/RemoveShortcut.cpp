// RemoveShortcut: deletes a shortcut file and then the folders that held it,
// walking upwards as long as each folder can be removed, but never into a
// shell folder. Fails towards the host only for a path it refuses, and for
// a rollback state it cannot keep. Given an invocation-data folder, it moves
// the shortcut into the state instead of deleting it, for its twin
// RollbackRemoveShortcut to put back with the folders it needs.
#include <string>

#include "core/Action.h"
#include "core/FileIdentity.h"
#include "core/FileLinks.h"
#include "core/KeptObjects.h"
#include "core/PathRules.h"
#include "core/RollbackState.h"
#include "core/ShellFolders.h"
#include "PocoWrapper/File.h"

#include "ShellArgumentNames.h"
#include "ShellRollback.h"
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
        DWORD error = 0;
        if (removeFolder(folder, error)) {
            context.Log(LogLevelInfo, L" Remove directory: " + folder);
            continue;
        }
        if (error == ERROR_DIR_NOT_EMPTY)
            context.Log(LogLevelInfo, L"Shortcut directory still contains other shortcuts." + std::to_wstring(error));
        else
            context.Log(LogLevelInfo, L"Failed to remove directory. Error code: " + std::to_wstring(error));
        return;
    }
}

enum Removal {
    Removed,
    NotRemoved,
    Refused,
};

// Moves the shortcut into its rollback state. Nothing there, or a retried
// step that finds the first run's state, removes nothing and writes nothing.
Removal removeKept(IActionContext& context, const std::wstring& stateFolder, const std::wstring& linkPath)
{
    const RollbackState state(stateFolder, ShellState::RemoveShortcut, linkPath);
    const std::wstring& path = state.object();
    const bool present = ObjectExists(path);
    RollbackSignal signal;
    if (state.read(signal)) {
        if (!present)
            return NotRemoved;
        context.Log(LogLevelError, L"Refusing to remove " + path +
                                       L": the rollback state of an earlier removal is kept at " + state.folder());
        return Refused;
    }
    if (!present || (!IsPlainFile(path) && LinkAt(path) == NoLink))
        return NotRemoved;
    if (!AcceptLinkItself(context, ShellArgumentNames::LinkFullPath, path))
        return Refused;

    signal.object = path;
    signal.change = ShellState::Removed;
    DWORD error = 0;
    context.Log(LogLevelInfo, L"Writing rollback signal: " + state.signalPath());
    if (!state.write(signal, error)) {
        Failed(context, L"Couldn't write the rollback signal " + state.signalPath(), error);
        return Refused;
    }
    bool moved = false;
    if (KeepObject(path, state.kept(ShellState::KeptShortcut), moved, error) &&
        (moved || DeleteFileW(ExtendedLengthPath(path).c_str())))
        return Removed;
    DiscardState(context, state);
    return NotRemoved;
}

int removeShortcut(IActionContext& context)
{
    if (*context.GetArg(ShellArgumentNames::RunAction) != L"1") {
        context.Log(LogLevelInfo, L"runAction not 1. Skipping...");
        return ActionDone;
    }
    std::wstring linkPath = *context.GetArg(ShellArgumentNames::LinkFullPath);
    const std::wstring target = *context.GetArg(ShellArgumentNames::PathToTarget);
    const std::wstring stateFolder = StateFolderArgument(context);
    if (!AcceptStateFolder(context, stateFolder, false))
        return ActionFailed;
    if (IsWebTarget(target))
        linkPath = webShortcutPath(linkPath);

    // The path is used exactly as given: " notes.lnk" is not "notes.lnk".
    if (CheckGiven(linkPath) == PathEmpty) {
        context.Log(LogLevelError, L" Empty link file");
    } else {
        if (!AcceptPath(context, ShellArgumentNames::LinkFullPath, linkPath, CheckTarget(linkPath)))
            return ActionFailed;
        context.Log(LogLevelInfo, L" Remove link file: " + linkPath);
        Removal removal = NotRemoved;
        if (!stateFolder.empty())
            removal = removeKept(context, stateFolder, linkPath);
        else if (DeleteFileW(PocoWrapper::toExtendedLengthPathW(linkPath).c_str()))
            removal = Removed;
        if (removal == Refused)
            return ActionFailed;
        if (removal == Removed)
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

VERRAND_ACTION(RollbackRemoveShortcut)
{
    const std::wstring linkPath = *context->GetArg(ShellArgumentNames::LinkFullPath);
    const std::wstring target = *context->GetArg(ShellArgumentNames::PathToTarget);
    const std::wstring stateFolder = StateFolderArgument(*context);
    if (!AcceptStateFolder(*context, stateFolder, true))
        return ActionFailed;
    if (CheckGiven(linkPath) == PathEmpty) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    if (!AcceptPath(*context, ShellArgumentNames::LinkFullPath, linkPath, CheckTarget(linkPath)))
        return ActionFailed;

    // The removal took the .url of a web shortcut when no .lnk stood there.
    RollbackState state(stateFolder, ShellState::RemoveShortcut, linkPath);
    RollbackSignal signal;
    if (!state.read(signal) && IsWebTarget(target))
        state = RollbackState(stateFolder, ShellState::RemoveShortcut, WebShortcutPath(linkPath));
    if (!SignalToRollBack(*context, state, signal))
        return ActionDone;
    // Without the kept shortcut the removal never reached the place.
    const std::wstring kept = state.kept(ShellState::KeptShortcut);
    if (!ObjectExists(kept)) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        DiscardState(*context, state);
        return ActionDone;
    }
    // The removal left nothing at the place: whatever stands there now is
    // someone else's.
    if (!StillAsLeft(*context, state, signal, L"RemoveShortcut"))
        return ActionFailed;
    context->Log(LogLevelInfo, L"Putting back the shortcut RemoveShortcut removed: " + state.object());
    if (!PutBack(*context, kept, state.object(), L"; the removed shortcut stays at " + kept))
        return ActionFailed;
    DiscardState(*context, state);
    return ActionDone;
}
