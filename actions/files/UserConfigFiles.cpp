// The user configuration file actions and their rollback twins. An action
// and its twin share the invocation-data folder: CopyUserConfigFile leaves
// the "DoRollback" signal there after it copied (and keeps the file it
// replaced as "ReplacedUserConfig"), RemoveUserConfigFile keeps the removed
// file (or folder) there as "RollbackUserConfig".
//
// Every path is checked before anything is touched: a missing folder or
// name, a drive root, a piece that Windows would read differently, or a
// target that holds the invocation-data folder is refused with one error
// line and status 1. A failing file operation is one error line and status 1
// as well; what the user had stays where it was.
#include <Poco/Exception.h>
#include <Poco/Path.h>

#include "core/Action.h"
#include "core/PathRules.h"

#include "FileArgumentNames.h"
#include "PocoWrapper/File.h"
#include "PocoWrapper/String.h"
#include "actions/du/DuArgumentNames.h"

namespace {
const wchar_t* const kInstall = L"install";
const wchar_t* const kUninstall = L"uninstall";
const wchar_t* const kSourceFolder = L"userconfigfiles";
const wchar_t* const kRollbackSignal = L"DoRollback";
const wchar_t* const kRollbackCopy = L"RollbackUserConfig";
const wchar_t* const kReplacedCopy = L"ReplacedUserConfig";

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

int fail(IActionContext& context, const std::wstring& line, const Poco::Exception& e)
{
    return fail(context, line + L": " + PocoWrapper::toWide(e.displayText()));
}

// Without the invocation-data folder the twin could not find the state, and
// the state would land in the root of the current drive.
bool acceptInvocationFolder(IActionContext& context, const std::wstring& folder)
{
    return AcceptPath(context, FileArgumentNames::InvocationDataDir, folder, CheckTarget(folder));
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
    const bool holdsState = IsSameOrInside(FullPath(invocationFolder), FullPath(target));
    return AcceptPath(context, both, target, holdsState ? PathHoldsStateFolder : PathAcceptable);
}

// A folder needed below a target, made with its missing parents.
bool createParentFolders(const std::wstring& path)
{
    Poco::Path parent(PocoWrapper::toExtendedLengthPath(path), Poco::Path::PATH_WINDOWS);
    parent.makeParent();
    return PocoWrapper::File(parent).createDirectories();
}

// A name beside the path that nothing uses yet.
std::wstring unusedSibling(const std::wstring& path)
{
    for (int n = 1;; ++n) {
        const std::wstring candidate = path + L".replaced" + (n > 1 ? std::to_wstring(n) : std::wstring());
        if (!PocoWrapper::File(candidate).exists())
            return candidate;
    }
}

// Puts a copy of source exactly at target, whatever stands there: a file is
// overwritten; a folder (or a file where a folder goes) is set aside and
// removed only once the copy is complete, and comes back when the copy
// fails. Copying onto an existing folder would otherwise land inside it.
void copyReplacing(const PocoWrapper::File& source, const std::wstring& target)
{
    PocoWrapper::File existing(target);
    if (!existing.exists() || (source.isFile() && existing.isFile())) {
        source.copyTo(target);
        return;
    }
    const std::wstring aside = unusedSibling(target);
    existing.moveTo(aside);
    try {
        source.copyTo(target);
    } catch (...) {
        PocoWrapper::File partial(target);
        if (partial.exists())
            partial.remove(true);
        existing.moveTo(target);
        throw;
    }
    existing.remove(true);
}

// Removes an earlier copy kept in the invocation-data folder.
void removeKept(const std::wstring& path)
{
    PocoWrapper::File kept(path);
    if (kept.exists())
        kept.remove(true);
}
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
    try {
        PocoWrapper::File destFolder(destDir);
        if (!destFolder.exists())
            destFolder.createDirectories();

        // Outside an install the user's own file is kept.
        PocoWrapper::File destFile(destination);
        if (duAction != kInstall && destFile.exists())
            return skipTransaction(*context, duAction);

        PocoWrapper::File sourceFile(source);
        if (sourceFile.isFile()) {
            // What the copy replaces goes back at rollback.
            PocoWrapper::File(invocationDir).createDirectories();
            const std::wstring replaced = JoinPath(invocationDir, kReplacedCopy);
            removeKept(replaced);
            if (destFile.exists())
                destFile.copyTo(replaced);

            copyReplacing(sourceFile, destination);
            const std::wstring signal = JoinPath(invocationDir, kRollbackSignal);
            context->Log(LogLevelInfo, L"Writing rollback signal: " + signal);
            PocoWrapper::File(signal).createFile();
        }
    } catch (const Poco::Exception& e) {
        return fail(*context, L"Couldn't copy " + source + L" to " + destination, e);
    }
    return ActionDone;
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

    if (!PocoWrapper::File(JoinPath(invocationDir, kRollbackSignal)).exists()) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    const std::wstring destination = JoinPath(destDir, destName);
    const std::wstring replaced = JoinPath(invocationDir, kReplacedCopy);
    try {
        PocoWrapper::File destFile(destination);
        if (destFile.exists()) {
            context->Log(LogLevelInfo, L"Rollback UserConfigFile " + destination);
            destFile.remove(false);
        }
        PocoWrapper::File replacedFile(replaced);
        if (replacedFile.exists()) {
            context->Log(LogLevelInfo, L"Rollback copying " + replaced + L" to " + destination);
            if (!createParentFolders(destination))
                return fail(*context, L"Couldn't create the folder of " + destination + L"; the replaced file stays at " +
                                          replaced);
            copyReplacing(replacedFile, destination);
        }
    } catch (const Poco::Exception& e) {
        return fail(*context, L"Couldn't roll back " + destination, e);
    }
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
    if (!acceptInvocationFolder(*context, invocationDir) ||
        !acceptTarget(*context, FileArgumentNames::DirName, dirName, FileArgumentNames::FileName, fileName,
                      invocationDir))
        return ActionFailed;

    const std::wstring targetPath = JoinPath(dirName, fileName);
    try {
        PocoWrapper::File target(targetPath);
        if (!target.exists())
            return ActionDone;

        if (!PocoWrapper::File(invocationDir).createDirectories())
            return fail(*context, L"Couldn't create the folder for the rollback copy: " + invocationDir);
        const std::wstring backup = JoinPath(invocationDir, kRollbackCopy);
        context->Log(LogLevelInfo, L"Copying rollback copy of userconfig file to " + backup);
        // An earlier backup is replaced, not merged with.
        removeKept(backup);
        target.copyTo(backup);
        target.remove(true);
    } catch (const Poco::Exception& e) {
        return fail(*context, L"Couldn't remove " + targetPath, e);
    }
    return ActionDone;
}

VERRAND_ACTION(RollbackRemoveUserConfigFile)
{
    const std::wstring invocationDir = arg(*context, FileArgumentNames::InvocationDataDir);
    if (!acceptInvocationFolder(*context, invocationDir))
        return ActionFailed;
    const std::wstring backup = JoinPath(invocationDir, kRollbackCopy);
    PocoWrapper::File backupFile(backup);
    if (!backupFile.exists()) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    const std::wstring dirName = arg(*context, FileArgumentNames::DirName);
    const std::wstring fileName = arg(*context, FileArgumentNames::FileName);
    if (!acceptTarget(*context, FileArgumentNames::DirName, dirName, FileArgumentNames::FileName, fileName,
                      invocationDir))
        return ActionFailed;

    // The backup stays: it is the user's data until the restore is complete,
    // and later rollbacks may need it again.
    const std::wstring target = JoinPath(dirName, fileName);
    context->Log(LogLevelInfo, L"Rollback copying " + backup + L" to " + target);
    try {
        if (!createParentFolders(target))
            return fail(*context, L"Couldn't create the folder of " + target + L"; the backup stays at " + backup);
        copyReplacing(backupFile, target);
    } catch (const Poco::Exception& e) {
        return fail(*context, L"Couldn't restore " + target + L"; the backup stays at " + backup, e);
    }
    return ActionDone;
}
