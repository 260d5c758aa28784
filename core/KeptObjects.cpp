#include "KeptObjects.h"

#include <Poco/Exception.h>

#include "FileIdentity.h"
#include "FileLinks.h"
#include "LogLevel.h"
#include "PathRules.h"
#include "RollbackState.h"
#include "PocoWrapper/File.h"

namespace {
// Puts a kept object at target, where nothing stands or a plain file stands
// that a plain file replaces: moved when both lie on one volume, otherwise
// copied under a temporary name beside the target and moved into place.
bool placeKept(const std::wstring& kept, const std::wstring& target, DWORD& error)
{
    if (MoveObject(kept, target, MOVEFILE_REPLACE_EXISTING, error))
        return true;
    if (error != ERROR_NOT_SAME_DEVICE)
        return false;
    const std::wstring temporary = UnusedSibling(target, L".new");
    std::wstring failed;
    DWORD ignored = 0;
    if (IsPlainFile(kept)) {
        if (!CopyFileW(ExtendedLengthPath(kept).c_str(), ExtendedLengthPath(temporary).c_str(), TRUE)) {
            error = GetLastError();
            DeleteFileW(ExtendedLengthPath(temporary).c_str());
            return false;
        }
    } else {
        // Kept folders on another volume were copied without links in them.
        try {
            PocoWrapper::File(kept).copyTo(temporary);
        } catch (const Poco::Exception&) {
            error = ERROR_WRITE_FAULT;
            RemoveTreeNoFollow(temporary, failed, ignored);
            return false;
        }
    }
    if (MoveObject(temporary, target, MOVEFILE_REPLACE_EXISTING, error))
        return true;
    RemoveTreeNoFollow(temporary, failed, ignored);
    return false;
}

}

std::wstring WithError(const std::wstring& line, DWORD error)
{
    return line + L" (error " + std::to_wstring(error) + L")";
}

bool ObjectExists(const std::wstring& path)
{
    return AttributesAt(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsPlainFile(const std::wstring& path)
{
    const DWORD attributes = AttributesAt(path);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) && LinkAt(path) == NoLink;
}

bool MoveObject(const std::wstring& from, const std::wstring& to, DWORD flags, DWORD& error)
{
    if (MoveFileExW(ExtendedLengthPath(from).c_str(), ExtendedLengthPath(to).c_str(), flags | MOVEFILE_WRITE_THROUGH))
        return true;
    error = GetLastError();
    return false;
}

std::wstring ParentFolder(const std::wstring& path)
{
    const std::wstring::size_type at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at);
}

std::wstring UnusedSibling(const std::wstring& path, const std::wstring& suffix)
{
    for (int n = 1;; ++n) {
        const std::wstring candidate = path + suffix + (n > 1 ? std::to_wstring(n) : std::wstring());
        if (!ObjectExists(candidate))
            return candidate;
    }
}

std::vector<std::wstring> MissingFolders(const std::wstring& folder)
{
    std::vector<std::wstring> missing;
    std::wstring path = WithoutExtendedPrefix(FullPath(folder));
    // A trailing separator names the same folder.
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/') && !IsDriveRoot(path))
        path.pop_back();
    while (!path.empty() && !IsDriveRoot(path) && !ObjectExists(path)) {
        missing.insert(missing.begin(), path);
        path = ParentFolder(path);
    }
    return missing;
}

bool MakeFolders(const std::vector<std::wstring>& folders, std::wstring& failed, DWORD& error)
{
    for (const std::wstring& folder : folders) {
        if (!CreateDirectoryW(ExtendedLengthPath(folder).c_str(), 0) && GetLastError() != ERROR_ALREADY_EXISTS) {
            error = GetLastError();
            failed = folder;
            return false;
        }
    }
    return true;
}

std::wstring RemoveMadeFolders(ILogger* log, const std::vector<std::wstring>& folders,
                               const std::wstring& removedLine, DWORD& error)
{
    for (std::size_t i = folders.size(); i-- > 0;) {
        const std::wstring& folder = folders[i];
        if (!ObjectExists(folder))
            continue;
        if (LinkAt(folder) != NoLink) {
            error = ERROR_REPARSE_ATTRIBUTE_CONFLICT;
            return folder;
        }
        if (!RemoveDirectoryW(ExtendedLengthPath(folder).c_str())) {
            error = GetLastError();
            return folder;
        }
        if (log)
            log->Log(LogLevelInfo, removedLine + folder);
    }
    return std::wstring();
}

bool AcceptLinkItself(ILogger& log, const std::wstring& argument, const std::wstring& path)
{
    DWORD error = 0;
    if (LinkCanBeHandledItself(path, LinkAt(path), error))
        return true;
    log.Log(LogLevelError, WithError(L"Refusing " + argument + L" \"" + path +
                                         L"\": it is a link, which cannot be moved or removed as a link here",
                                     error));
    return false;
}

bool PutBack(ILogger& log, const std::wstring& kept, const std::wstring& target, const std::wstring& keptNote)
{
    std::wstring failed;
    DWORD error = 0;
    if (!MakeFolders(MissingFolders(ParentFolder(target)), failed, error)) {
        log.Log(LogLevelError, WithError(L"Couldn't create the folder " + failed + L" of " + target + keptNote, error));
        return false;
    }
    if (!AcceptLinkItself(log, L"the object at", target))
        return false;
    std::wstring aside;
    if (ObjectExists(target) && !(IsPlainFile(target) && IsPlainFile(kept))) {
        aside = UnusedSibling(target, L".replaced");
        if (!MoveObject(target, aside, 0, error)) {
            log.Log(LogLevelError, WithError(L"Couldn't set " + target + L" aside" + keptNote, error));
            return false;
        }
    }
    error = 0;
    if (!placeKept(kept, target, error)) {
        DWORD ignored = 0;
        if (!aside.empty())
            MoveObject(aside, target, 0, ignored);
        log.Log(LogLevelError, WithError(L"Couldn't restore " + target + keptNote, error));
        return false;
    }
    if (!aside.empty() && !RemoveTreeNoFollow(aside, failed, error))
        log.Log(LogLevelWarning, WithError(L"Couldn't remove " + failed + L", which stood at " + target, error));
    return true;
}

bool KeepObject(const std::wstring& path, const std::wstring& kept, bool& moved, DWORD& error)
{
    moved = MoveObject(path, kept, 0, error);
    if (moved)
        return true;
    if (error != ERROR_NOT_SAME_DEVICE || !IsPlainFile(path))
        return false;
    if (CopyFileW(ExtendedLengthPath(path).c_str(), ExtendedLengthPath(kept).c_str(), TRUE))
        return true;
    error = GetLastError();
    DeleteFileW(ExtendedLengthPath(kept).c_str());
    return false;
}

void DiscardState(ILogger& log, const RollbackState& state)
{
    std::wstring failed;
    DWORD error = 0;
    if (!state.discard(failed, error))
        log.Log(LogLevelWarning, WithError(L"Couldn't remove the rollback state " + failed, error));
}
