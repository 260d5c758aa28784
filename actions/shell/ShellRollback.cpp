#include "ShellRollback.h"

#include "core/Action.h"
#include "core/FileIdentity.h"
#include "core/FileLinks.h"
#include "core/KeptObjects.h"
#include "core/PathRules.h"
#include "actions/files/FileArgumentNames.h"

namespace ShellState {
const wchar_t* const CreateShortcut = L"shortcut";
const wchar_t* const RemoveShortcut = L"removedshortcut";
const wchar_t* const EnsureFolderExists = L"folder";
const wchar_t* const KeptShortcut = L"KeptShortcut";
const wchar_t* const Created = L"created";
const wchar_t* const Replaced = L"replaced";
const wchar_t* const Removed = L"removed";
}

std::wstring StateFolderArgument(IActionContext& context)
{
    return *context.GetArg(FileArgumentNames::InvocationDataDir);
}

bool AcceptStateFolder(IActionContext& context, const std::wstring& folder, bool required)
{
    if (folder.empty() && !required)
        return true;
    return AcceptPath(context, FileArgumentNames::InvocationDataDir, folder, CheckTarget(folder));
}

bool SignalToRollBack(IActionContext& context, const RollbackState& state, RollbackSignal& signal)
{
    if (state.read(signal))
        return true;
    context.Log(LogLevelInfo, L"Nothing to rollback");
    return false;
}

namespace {
// A folder's mark holds no digest of bytes: this word stands in its place,
// which no SHA-256 in hexadecimal is.
const char* const kFolderMark = "folder";

bool isFolder(const std::wstring& path)
{
    const DWORD attributes = AttributesAt(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) && LinkAt(path) == NoLink;
}

bool isMarked(const std::wstring& path, const RollbackSignal& signal)
{
    if (!signal.leftFile)
        return false;
    if (!isFolder(path))
        return signal.left.digest != kFolderMark && IsMarkedFile(path, signal.left);
    FileIdentity identity;
    DWORD error = 0;
    return signal.left.digest == kFolderMark && ReadFileIdentity(path, identity, error) &&
           identity == signal.left.identity;
}
}

bool MarkLeftObject(const std::wstring& path, RollbackSignal& signal, DWORD& error)
{
    signal.left = FileMark();
    if (isFolder(path)) {
        signal.left.digest = kFolderMark;
        signal.leftFile = ReadFileIdentity(path, signal.left.identity, error);
    } else {
        signal.leftFile = ReadFileMark(path, signal.left, error);
    }
    return signal.leftFile;
}

bool StillAsLeft(IActionContext& context, const RollbackState& state, const RollbackSignal& signal,
                 const std::wstring& action)
{
    if (!ObjectExists(state.object()) || isMarked(state.object(), signal))
        return true;
    context.Log(LogLevelError, L"Leaving " + state.object() + L" as it is: it changed since " + action +
                                   L" left it, and its rollback state stays at " + state.folder());
    return false;
}

void RemoveFoldersMade(IActionContext& context, const std::vector<std::wstring>& folders,
                       const std::wstring& action)
{
    DWORD error = 0;
    const std::wstring stays = RemoveMadeFolders(&context, folders, L"Removed the folder " + action + L" created: ",
                                                 error);
    if (stays.empty())
        return;
    if (error == ERROR_DIR_NOT_EMPTY)
        context.Log(LogLevelInfo, L"The folder " + stays + L" stays: it is not empty");
    else
        context.Log(LogLevelWarning, WithError(L"The folder " + stays + L" stays: it cannot be removed", error));
}

bool Failed(IActionContext& context, const std::wstring& line, DWORD error)
{
    context.Log(LogLevelError, WithError(line, error));
    return false;
}
