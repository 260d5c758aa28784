// The user configuration file actions and their rollback twins. An action
// keeps what its twin needs in the invocation-data folder, in a state
// folder of the file it protects (RollbackState): CopyUserConfigFile the
// signal and the object it replaced ("ReplacedUserConfig"),
// RemoveUserConfigFile the signal and the removed object itself
// ("RollbackUserConfig"). A twin acts only on the state of its own file
// and removes it once it has rolled back.
//
// Every path is checked before anything is touched: a missing folder or
// name, a drive root, a piece that Windows would read differently, a target
// that holds the invocation-data folder (by file identity, whatever the
// spelling) or a link to a folder that cannot be handled as a link is
// refused with one error line and status 1. A failing file operation is one
// error line and status 1 as well; what the user had stays where it was.
//
// Nothing is written through a link at the named place: a link there is
// moved or replaced itself. A new file is written under a temporary name
// beside its destination and moved into place once complete.
#include <algorithm>

#include <Poco/Exception.h>

#include "core/Action.h"
#include "core/FileIdentity.h"
#include "core/FileLinks.h"
#include "core/KeptObjects.h"
#include "core/PathRules.h"
#include "core/RollbackState.h"
#include "core/ShellFolders.h"

#include "FileArgumentNames.h"
#include "PocoWrapper/File.h"
#include "PocoWrapper/String.h"
#include "actions/du/DuArgumentNames.h"

namespace {
const wchar_t* const kInstall = L"install";
const wchar_t* const kUninstall = L"uninstall";
const wchar_t* const kSourceFolder = L"userconfigfiles";
const wchar_t* const kRollbackCopy = L"RollbackUserConfig";
const wchar_t* const kReplacedCopy = L"ReplacedUserConfig";
const wchar_t* const kCopyState = L"copy";
const wchar_t* const kRemoveState = L"remove";
// What the action did to the object its state protects.
const wchar_t* const kReplaced = L"replaced";
const wchar_t* const kCreated = L"created";
const wchar_t* const kRemoved = L"removed";

std::wstring arg(IActionContext& context, const std::wstring& name)
{
    return *context.GetArg(name);
}

int skipTransaction(IActionContext& context, const std::wstring& duAction)
{
    context.Log(LogLevelInfo, L"Skipping action for the following kind of DU transaction: " + duAction);
    return ActionDone;
}

int fail(IActionContext& context, const std::wstring& line)
{
    context.Log(LogLevelError, line);
    return ActionFailed;
}

// Without the invocation-data folder the twin could not find the state, and
// the state would land in the root of the current drive.
bool acceptInvocationFolder(IActionContext& context, const std::wstring& folder)
{
    return AcceptPath(context, FileArgumentNames::InvocationDataDir, folder, CheckStateFolder(folder));
}

// The file or folder an action creates, replaces or deletes: a folder and a
// name below it, never a drive root, never the folder that holds the
// action's own state.
bool acceptTarget(IActionContext& context, const std::wstring& folderArgument, const std::wstring& folder,
                  const std::wstring& nameArgument, const std::wstring& name, const std::wstring& invocationFolder)
{
    const std::wstring target = JoinPath(folder, name);
    const std::wstring both = folderArgument + L" and " + nameArgument;
    if (!AcceptPath(context, folderArgument, folder, CheckPath(folder)) ||
        !AcceptPath(context, nameArgument, name, CheckName(name)) ||
        !AcceptPath(context, both, target, CheckTarget(target)))
        return false;
    const bool holdsState = IsSameOrInsideObject(invocationFolder, target);
    return AcceptPath(context, both, target, holdsState ? PathHoldsStateFolder : PathAcceptable);
}

void removeFoldersTheCopyMade(IActionContext& context, const std::vector<std::wstring>& folders)
{
    DWORD stays = 0;
    RemoveMadeFolders(&context, folders, L"Removed the folder the copy created: ", stays);
}

// The named folder goes with the last file in it, unless it is a link or a
// folder the shell owns (a rollback makes it again).
void removeEmptiedFolder(IActionContext& context, const std::wstring& folder)
{
    const std::wstring full = WithoutExtendedPrefix(FullPath(folder));
    if (LinkAt(full) != NoLink || IsShellFolder(full, ShellFolders()))
        return;
    if (RemoveDirectoryW(ExtendedLengthPath(full).c_str()))
        context.Log(LogLevelInfo, L"Removed the emptied folder " + folder);
}

// An action that leaves its object as it was leaves no state a twin could
// act on, not even one an earlier run left for the same object.
void dropEarlierState(IActionContext& context, const RollbackState& state)
{
    if (!ObjectExists(state.folder()))
        return;
    context.Log(LogLevelInfo, L"Removing the rollback state an earlier run left: " + state.folder());
    DiscardState(context, state);
}

// The steps of one copy, undone in reverse when a later one fails.
class CopyRun {
public:
    CopyRun(IActionContext& context, const RollbackState& state, const std::wstring& source,
            const std::wstring& destination)
        : m_context(context), m_state(state), m_source(source), m_destination(destination), m_ownState(false)
    {
    }

    ~CopyRun()
    {
        DWORD ignored = 0;
        std::wstring failed;
        if (!m_temporary.empty())
            DeleteFileW(ExtendedLengthPath(m_temporary).c_str());
        bool putBack = true;
        if (!m_setAside.empty() && !MoveObject(m_setAside, m_destination, 0, ignored)) {
            m_context.Log(LogLevelError, WithError(L"Couldn't put " + m_destination + L" back; it stays at " +
                                                       m_setAside, ignored));
            putBack = false;
        }
        // A retried copy that failed leaves the earlier run's file, and its
        // state must know it again.
        if (m_restoreEarlier)
            m_state.write(m_earlier, ignored);
        // A copy that failed leaves nothing behind but what was there.
        if (m_ownState && putBack) {
            RemoveMadeFolders(0, m_madeFolders, std::wstring(), ignored);
            m_state.discard(failed, ignored);
        }
    }

    int run(const std::vector<std::wstring>& missing)
    {
        RollbackSignal signal;
        DWORD error = 0;
        bool earlier = m_state.read(signal);
        const RollbackSignal earlierSignal = signal;
        if (earlier && !keepsEarlierState(signal)) {
            // The earlier run kept what the user had, and the file now at
            // the destination is neither its copy nor nothing: replacing it
            // would lose it, and the earlier state could not give it back.
            if (ObjectExists(m_state.kept(kReplacedCopy)))
                return fail(m_context, L"Refusing to replace " + m_destination +
                                           L": it is no longer the file an earlier run copied, and the rollback "
                                           L"state of that run is kept at " + m_state.folder());
            // The earlier run never reached the destination: its state holds
            // nothing of the user's, and this run starts its own.
            m_earlierFolders = signal.madeFolders;
            earlier = false;
        }
        if (earlier) {
            // A second run keeps the first one's backup: that is what the
            // user had before either.
            m_context.Log(LogLevelInfo, L"Keeping the rollback state of an earlier run: " + m_state.folder());
        } else {
            dropEarlierState(m_context, m_state);
            signal = RollbackSignal();
            signal.object = m_state.object();
            signal.change = ObjectExists(m_destination) ? kReplaced : kCreated;
            signal.madeFolders = outermostFirst(m_earlierFolders, missing);
            m_context.Log(LogLevelInfo, L"Writing rollback signal: " + m_state.signalPath());
            m_ownState = true;
            if (!m_state.write(signal, error))
                return fail(m_context, WithError(L"Couldn't write the rollback signal " + m_state.signalPath(), error));
            m_madeFolders = missing;
        }

        std::wstring failed;
        if (!MakeFolders(missing, failed, error))
            return fail(m_context, WithError(L"Couldn't create the folder " + failed, error));
        m_temporary = UnusedSibling(m_destination, L".new");
        if (!CopyFileW(ExtendedLengthPath(m_source).c_str(), ExtendedLengthPath(m_temporary).c_str(), TRUE))
            return fail(m_context, WithError(L"Couldn't copy " + m_source + L" to " + m_temporary, GetLastError()));
        // The copy keeps its identity when it moves into place: the twin
        // knows it by that and by its bytes.
        if (!ReadFileMark(m_temporary, signal.left, error))
            return fail(m_context, WithError(L"Couldn't read back the copy " + m_temporary, error));
        signal.leftFile = true;
        if (earlier) {
            m_earlier = earlierSignal;
            m_restoreEarlier = true;
        }
        if (!m_state.write(signal, error))
            return fail(m_context, WithError(L"Couldn't write the rollback signal " + m_state.signalPath(), error));

        // What stands at the destination goes into the state whole (a link
        // as the link, a file with its security and attributes); a file on
        // another volume than the state is kept as a copy.
        if (!earlier && ObjectExists(m_destination)) {
            const std::wstring kept = m_state.kept(kReplacedCopy);
            bool moved = false;
            if (!KeepObject(m_destination, kept, moved, error))
                return fail(m_context, WithError(L"Couldn't keep " + m_destination + L" in the rollback state " +
                                                     m_state.folder(),
                                                 error));
            if (moved)
                m_setAside = kept;
        }
        if (!MoveObject(m_temporary, m_destination, MOVEFILE_REPLACE_EXISTING, error))
            return fail(m_context, WithError(L"Couldn't move " + m_temporary + L" to " + m_destination, error));
        m_temporary.clear();
        m_setAside.clear();
        m_ownState = false;
        m_restoreEarlier = false;
        return ActionDone;
    }

private:
    // An earlier run's state stays when the destination is still what that
    // run left there, or nothing at all.
    bool keepsEarlierState(const RollbackSignal& signal) const
    {
        if (!ObjectExists(m_destination))
            return true;
        return signal.leftFile && IsMarkedFile(m_destination, signal.left);
    }

    // Folders made by this run and by an earlier one whose state it takes
    // over: all of them hold the destination, so the shorter path is the
    // outer one.
    static std::vector<std::wstring> outermostFirst(std::vector<std::wstring> folders,
                                                    const std::vector<std::wstring>& more)
    {
        for (const std::wstring& folder : more) {
            bool known = false;
            for (const std::wstring& have : folders)
                known = known || SamePath(have, folder);
            if (!known)
                folders.push_back(folder);
        }
        std::stable_sort(folders.begin(), folders.end(),
                         [](const std::wstring& a, const std::wstring& b) { return a.size() < b.size(); });
        return folders;
    }

    IActionContext& m_context;
    const RollbackState& m_state;
    const std::wstring m_source;
    const std::wstring m_destination;
    bool m_ownState;
    std::vector<std::wstring> m_madeFolders;
    std::vector<std::wstring> m_earlierFolders;
    RollbackSignal m_earlier;
    bool m_restoreEarlier = false;
    std::wstring m_temporary;
    std::wstring m_setAside;
};
}

VERRAND_ACTION(CopyUserConfigFile)
{
    const std::wstring duAction = arg(*context, FileArgumentNames::DuAction);
    const std::wstring invocationDir = arg(*context, FileArgumentNames::InvocationDataDir);
    const std::wstring sourceName = arg(*context, FileArgumentNames::SrcFileName);
    const std::wstring destDir = arg(*context, FileArgumentNames::DestDirName);
    const std::wstring destName = arg(*context, FileArgumentNames::DestFileName);
    const std::wstring duDir = arg(*context, DuArgumentNames::DuDir);

    if (!acceptInvocationFolder(*context, invocationDir) ||
        !acceptTarget(*context, FileArgumentNames::DestDirName, destDir, FileArgumentNames::DestFileName, destName,
                      invocationDir) ||
        !AcceptPath(*context, DuArgumentNames::DuDir, duDir, CheckPath(duDir)) ||
        !AcceptPath(*context, FileArgumentNames::SrcFileName, sourceName, CheckName(sourceName)))
        return ActionFailed;

    const std::wstring source = JoinPath(duDir + kSourceFolder, sourceName);
    const std::wstring destination = JoinPath(destDir, destName);
    const RollbackState state(invocationDir, kCopyState, destination);

    // Outside an install the user's own file is kept.
    if (duAction != kInstall && ObjectExists(destination)) {
        dropEarlierState(*context, state);
        return skipTransaction(*context, duAction);
    }
    if (!IsPlainFile(source)) {
        dropEarlierState(*context, state);
        context->Log(LogLevelWarning, L"Nothing copied: no source file at " + source);
        return ActionDone;
    }
    if (!AcceptLinkItself(*context, FileArgumentNames::DestDirName + L" and " + FileArgumentNames::DestFileName,
                    destination))
        return ActionFailed;
    return CopyRun(*context, state, source, destination).run(MissingFolders(destDir));
}

VERRAND_ACTION(RollbackCopyUserConfigFile)
{
    const std::wstring invocationDir = arg(*context, FileArgumentNames::InvocationDataDir);
    const std::wstring destDir = arg(*context, FileArgumentNames::DestDirName);
    const std::wstring destName = arg(*context, FileArgumentNames::DestFileName);
    if (!acceptInvocationFolder(*context, invocationDir) ||
        !acceptTarget(*context, FileArgumentNames::DestDirName, destDir, FileArgumentNames::DestFileName, destName,
                      invocationDir))
        return ActionFailed;

    const std::wstring destination = JoinPath(destDir, destName);
    const RollbackState state(invocationDir, kCopyState, destination);
    RollbackSignal signal;
    if (!state.read(signal)) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    const std::wstring replaced = state.kept(kReplacedCopy);
    if (!signal.leftFile) {
        // The copy never came to the destination: whatever stands there is
        // not the action's to undo.
        context->Log(LogLevelInfo, L"Nothing to rollback");
        removeFoldersTheCopyMade(*context, signal.madeFolders);
        DiscardState(*context, state);
        return ActionDone;
    }
    if (ObjectExists(destination) && !IsMarkedFile(destination, signal.left))
        return fail(*context, L"Leaving " + destination +
                                  L" as it is: it is no longer the file CopyUserConfigFile put there, and the "
                                  L"rollback state stays at " + state.folder());
    if (signal.change == kReplaced) {
        // Without the kept object the copy never reached the destination.
        if (ObjectExists(replaced)) {
            context->Log(LogLevelInfo, L"Rollback UserConfigFile " + destination);
            context->Log(LogLevelInfo, L"Rollback copying " + replaced + L" to " + destination);
            if (!PutBack(*context, replaced, destination, L"; the replaced file stays at " + replaced))
                return ActionFailed;
        }
    } else if (ObjectExists(destination)) {
        context->Log(LogLevelInfo, L"Rollback UserConfigFile " + destination);
        // The copy made a file here; a link is removed as the link.
        if (!DeleteFileW(ExtendedLengthPath(destination).c_str()))
            return fail(*context, WithError(L"Couldn't remove " + destination, GetLastError()));
    }
    removeFoldersTheCopyMade(*context, signal.madeFolders);
    DiscardState(*context, state);
    return ActionDone;
}

VERRAND_ACTION(RemoveUserConfigFile)
{
    const std::wstring duAction = arg(*context, FileArgumentNames::DuAction);
    if (duAction != kUninstall)
        return skipTransaction(*context, duAction);
    const std::wstring invocationDir = arg(*context, FileArgumentNames::InvocationDataDir);
    const std::wstring dirName = arg(*context, FileArgumentNames::DirName);
    const std::wstring fileName = arg(*context, FileArgumentNames::FileName);
    const std::wstring both = FileArgumentNames::DirName + L" and " + FileArgumentNames::FileName;
    if (!acceptInvocationFolder(*context, invocationDir) ||
        !acceptTarget(*context, FileArgumentNames::DirName, dirName, FileArgumentNames::FileName, fileName,
                      invocationDir))
        return ActionFailed;

    const std::wstring target = JoinPath(dirName, fileName);
    // A retried removal finds the target gone and the first run's state in
    // place, which it keeps.
    if (!ObjectExists(target))
        return ActionDone;
    if (!AcceptLinkItself(*context, both, target))
        return ActionFailed;
    const RollbackState state(invocationDir, kRemoveState, target);
    RollbackSignal signal;
    if (state.read(signal))
        return fail(*context, L"Refusing to remove " + target + L": the rollback state of an earlier removal is kept at " +
                                  state.folder());
    dropEarlierState(*context, state);

    signal.object = state.object();
    signal.change = kRemoved;
    DWORD error = 0;
    if (!state.write(signal, error))
        return fail(*context, WithError(L"Couldn't write the rollback signal " + state.signalPath(), error));
    const std::wstring backup = state.kept(kRollbackCopy);
    context->Log(LogLevelInfo, L"Copying rollback copy of userconfig file to " + backup);

    // The target moves into the state whole: nothing is deleted, and links
    // inside it stay links.
    std::wstring failed;
    DWORD ignored = 0;
    if (MoveObject(target, backup, 0, error)) {
        removeEmptiedFolder(*context, dirName);
        return ActionDone;
    }
    if (error != ERROR_NOT_SAME_DEVICE) {
        state.discard(failed, ignored);
        return fail(*context, WithError(L"Couldn't remove " + target + L"; it stays as it was", error));
    }

    // Another volume: a complete copy first, then the target set aside by a
    // rename and deleted; what cannot be deleted is put back.
    const std::wstring link = ObjectExists(target) && LinkAt(target) != NoLink ? target : FirstLinkInside(target);
    if (!link.empty()) {
        state.discard(failed, ignored);
        return fail(*context, L"Refusing to remove " + target + L": the rollback state lies on another volume, and " +
                                  link + L" is a link that a copy would follow");
    }
    try {
        PocoWrapper::File(target).copyTo(backup);
    } catch (const Poco::Exception& e) {
        state.discard(failed, ignored);
        return fail(*context, L"Couldn't copy " + target + L" to " + backup + L"; it stays as it was: " +
                                  PocoWrapper::toWide(e.displayText()));
    }
    const std::wstring aside = UnusedSibling(target, L".removing");
    if (!MoveObject(target, aside, 0, error)) {
        state.discard(failed, ignored);
        return fail(*context, WithError(L"Couldn't remove " + target + L"; it stays as it was", error));
    }
    if (RemoveTreeNoFollow(aside, failed, error)) {
        removeEmptiedFolder(*context, dirName);
        return ActionDone;
    }
    MoveObject(aside, target, 0, ignored);
    return fail(*context, WithError(L"Couldn't remove " + failed + L"; what is left of " + target +
                                        L" was put back, and the complete copy stays at " + backup,
                                    error));
}

VERRAND_ACTION(RollbackRemoveUserConfigFile)
{
    const std::wstring invocationDir = arg(*context, FileArgumentNames::InvocationDataDir);
    const std::wstring dirName = arg(*context, FileArgumentNames::DirName);
    const std::wstring fileName = arg(*context, FileArgumentNames::FileName);
    if (!acceptInvocationFolder(*context, invocationDir) ||
        !acceptTarget(*context, FileArgumentNames::DirName, dirName, FileArgumentNames::FileName, fileName,
                      invocationDir))
        return ActionFailed;

    const std::wstring target = JoinPath(dirName, fileName);
    const std::wstring both = FileArgumentNames::DirName + L" and " + FileArgumentNames::FileName;
    const RollbackState state(invocationDir, kRemoveState, target);
    const std::wstring backup = state.kept(kRollbackCopy);
    RollbackSignal signal;
    if (!state.read(signal)) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    // Without the backup the removal never reached the target.
    if (!ObjectExists(backup)) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        DiscardState(*context, state);
        return ActionDone;
    }
    // The removal left nothing at the target: what stands there now is
    // someone else's, and stays.
    if (ObjectExists(target)) {
        if (!AcceptLinkItself(*context, both, target))
            return ActionFailed;
        return fail(*context, L"Leaving " + target + L" as it is: it was put there after RemoveUserConfigFile "
                                                     L"removed the file, and the backup stays at " + backup);
    }
    // The backup stays until the restore is complete.
    context->Log(LogLevelInfo, L"Rollback copying " + backup + L" to " + target);
    if (!PutBack(*context, backup, target, L"; the backup stays at " + backup))
        return ActionFailed;
    DiscardState(*context, state);
    return ActionDone;
}
