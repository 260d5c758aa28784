// EnsureFolderExists: creates a folder with all its missing parents before
// the host places files in it. Given an invocation-data folder, it records
// the folders it makes there, for its twin RollbackEnsureFolderExists to
// remove while they are empty.
#include <Poco/Exception.h>

#include "core/Action.h"
#include "core/KeptObjects.h"
#include "core/PathRules.h"
#include "core/RollbackState.h"
#include "PocoWrapper/File.h"
#include "PocoWrapper/Path.h"

#include "NormalizePath.h"
#include "ShellArgumentNames.h"
#include "ShellRollback.h"

namespace {
// A drive root is never created: it is there, or the drive is missing.
bool driveRootExists(const std::wstring& root)
{
    std::wstring path = ToBackslashForm(root);
    if (path[path.size() - 1] != L'\\')
        path += L'\\';
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Only existence counts afterwards: a file of that name satisfies it too.
bool createFolder(const std::wstring& folder)
{
    try {
        PocoWrapper::Path path(folder);
        PocoWrapper::File file(path);
        return file.createDirectories();
    } catch (const Poco::Exception&) {
        // A path Poco cannot read (C:x) is a folder that cannot be made.
        return false;
    }
}

// The folder's name checked as normalised, shown in a refusal as given.
bool acceptFolder(IActionContext& context, const std::wstring& given, const std::wstring& folder)
{
    return AcceptPath(context, ShellArgumentNames::FolderName, given, CheckPath(folder));
}

// Creates the folder, recording the folders it makes before it makes them.
// A retried step keeps the first run's record; a create that fails removes
// what it made and its record.
int createRecorded(IActionContext& context, const std::wstring& stateFolder, const std::wstring& folder)
{
    const std::wstring path = ToBackslashForm(folder);
    const RollbackState state(stateFolder, ShellState::EnsureFolderExists, path);
    RollbackSignal signal;
    bool own = false;
    if (state.read(signal)) {
        context.Log(LogLevelInfo, L"Keeping the rollback state of this step's first run: " + state.folder());
    } else {
        signal.object = state.object();
        signal.change = ShellState::Created;
        signal.madeFolders = MissingFolders(path);
        if (!signal.madeFolders.empty()) {
            DWORD error = 0;
            context.Log(LogLevelInfo, L"Writing rollback signal: " + state.signalPath());
            if (!state.write(signal, error)) {
                Failed(context, L"Couldn't write the rollback signal " + state.signalPath(), error);
                return ActionFailed;
            }
            own = true;
        }
    }
    bool done = createFolder(folder);
    if (!done)
        context.Log(LogLevelError, L"Couldn't create folder: " + folder);
    if (own) {
        DWORD error = 0;
        if (done && !(MarkLeftObject(state.object(), signal, error) && state.write(signal, error)))
            done = Failed(context, L"Couldn't write the rollback signal " + state.signalPath(), error);
        if (!done) {
            RemoveMadeFolders(0, signal.madeFolders, std::wstring(), error);
            DiscardState(context, state);
        }
    }
    return done ? ActionDone : ActionFailed;
}
}

VERRAND_ACTION(EnsureFolderExists)
{
    const std::wstring given = *context->GetArg(ShellArgumentNames::FolderName);
    const std::wstring folder = NormalizePath(given);
    if (!acceptFolder(*context, given, folder))
        return ActionFailed;
    const std::wstring stateFolder = StateFolderArgument(*context);
    if (!AcceptStateFolder(*context, stateFolder, false))
        return ActionFailed;
    context->Log(LogLevelInfo, L"Creating folder: " + folder);

    if (IsDriveRoot(folder)) {
        if (driveRootExists(folder))
            return ActionDone;
    } else if (!stateFolder.empty()) {
        return createRecorded(*context, stateFolder, folder);
    } else if (createFolder(folder)) {
        return ActionDone;
    }
    context->Log(LogLevelError, L"Couldn't create folder: " + folder);
    return ActionFailed;
}

VERRAND_ACTION(RollbackEnsureFolderExists)
{
    const std::wstring given = *context->GetArg(ShellArgumentNames::FolderName);
    const std::wstring folder = NormalizePath(given);
    const std::wstring stateFolder = StateFolderArgument(*context);
    if (!acceptFolder(*context, given, folder) || !AcceptStateFolder(*context, stateFolder, true))
        return ActionFailed;

    const RollbackState state(stateFolder, ShellState::EnsureFolderExists, ToBackslashForm(folder));
    RollbackSignal signal;
    if (!SignalToRollBack(*context, state, signal))
        return ActionDone;
    if (!StillAsLeft(*context, state, signal, L"EnsureFolderExists"))
        return ActionFailed;
    RemoveFoldersMade(*context, signal.madeFolders, L"EnsureFolderExists");
    DiscardState(*context, state);
    return ActionDone;
}
