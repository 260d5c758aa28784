#include "FileLinks.h"

#include <vector>
#include <winioctl.h>

#include "FileIdentity.h"
#include "PathRules.h"
#include "ScopedHandle.h"

namespace {
// Where the opened object really is, without the \\?\ prefix; empty when
// the system cannot say.
std::wstring finalPath(const std::wstring& path)
{
    ScopedHandle handle(CreateFileW(ExtendedLengthPath(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, 0));
    if (!handle.valid())
        return std::wstring();
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle.get(), &text[0], static_cast<DWORD>(text.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return std::wstring();
        if (length < text.size()) {
            text.resize(length);
            return WithoutExtendedPrefix(text);
        }
        text.resize(length + 1);
    }
}

std::wstring parentOf(const std::wstring& path)
{
    const std::wstring::size_type at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at);
}

// The name the folder lists for the object (its long name, in its case).
std::wstring listedName(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(ExtendedLengthPath(path).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return std::wstring();
    FindClose(find);
    return data.cFileName;
}

bool isDotName(const wchar_t* name)
{
    return (name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

}

bool EachChild(const std::wstring& folder, DWORD& error,
               const std::function<bool(const std::wstring& child, DWORD attributes)>& visit)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((ExtendedLengthPath(folder) + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    bool going = true;
    do {
        if (!isDotName(data.cFileName))
            going = visit(JoinPath(folder, data.cFileName), data.dwFileAttributes);
    } while (going && FindNextFileW(find, &data));
    if (going && GetLastError() != ERROR_NO_MORE_FILES) {
        error = GetLastError();
        going = false;
    }
    FindClose(find);
    return going;
}

namespace {
}

DWORD AttributesAt(const std::wstring& path)
{
    return GetFileAttributesW(ExtendedLengthPath(path).c_str());
}

LinkKind LinkAt(const std::wstring& path)
{
    const DWORD attributes = AttributesAt(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return NoLink;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FolderLink : FileLink;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return NoLink;
    // A plain file lies in its own folder under its own name.
    const std::wstring opened = finalPath(path);
    const std::wstring folder = finalPath(parentOf(WithoutExtendedPrefix(FullPath(path))));
    const std::wstring name = listedName(path);
    if (opened.empty() || folder.empty() || name.empty())
        return NoLink;
    const std::wstring::size_type at = opened.find_last_of(L'\\');
    if (at == std::wstring::npos)
        return NoLink;
    const std::wstring openedFolder = opened.substr(0, at);
    const std::wstring openedName = opened.substr(at + 1);
    // A root's final path ends in its separator.
    const bool sameFolder = SameFileName(openedFolder, folder) || SameFileName(openedFolder + L"\\", folder);
    return sameFolder && SameFileName(openedName, name) ? NoLink : FileLink;
}

bool LinkCanBeHandledItself(const std::wstring& path, LinkKind kind, DWORD& error)
{
    if (kind == NoLink)
        return true;
    // A link without the reparse attribute (Wine's link to a file) is moved
    // by following it.
    if (!(AttributesAt(path) & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = ERROR_NOT_A_REPARSE_POINT;
        return false;
    }
    ScopedHandle handle(CreateFileW(ExtendedLengthPath(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, 0));
    if (!handle.valid()) {
        error = GetLastError();
        return false;
    }
    std::vector<unsigned char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD returned = 0;
    if (!DeviceIoControl(handle.get(), FSCTL_GET_REPARSE_POINT, 0, 0, &buffer[0], static_cast<DWORD>(buffer.size()),
                         &returned, 0)) {
        error = GetLastError();
        return false;
    }
    return true;
}

std::wstring FirstLinkInside(const std::wstring& folder)
{
    std::wstring found;
    DWORD error = 0;
    EachChild(folder, error, [&](const std::wstring& child, DWORD attributes) {
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && LinkAt(child) != NoLink)) {
            found = child;
            return false;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            found = FirstLinkInside(child);
        return found.empty();
    });
    return found;
}

bool RemoveTreeNoFollow(const std::wstring& path, std::wstring& failedPath, DWORD& error)
{
    const DWORD attributes = AttributesAt(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return true;
        failedPath = path;
        return false;
    }
    const std::wstring win32Path = ExtendedLengthPath(path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A link's own entry goes; what it points to is never listed.
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            bool removed = true;
            if (!EachChild(path, error, [&](const std::wstring& child, DWORD) {
                    removed = RemoveTreeNoFollow(child, failedPath, error);
                    return removed;
                })) {
                if (removed)
                    failedPath = path;
                return false;
            }
        }
        if (RemoveDirectoryW(win32Path.c_str()))
            return true;
    } else {
        // A link to a file that the system shows as a plain file (Wine's)
        // would be deleted through, taking what it points to: it stops the
        // removal like a link to a folder that cannot be removed.
        if (LinkAt(path) == FileLink && !LinkCanBeHandledItself(path, FileLink, error)) {
            failedPath = path;
            return false;
        }
        const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
        if (readOnly)
            SetFileAttributesW(win32Path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        if (DeleteFileW(win32Path.c_str()))
            return true;
        error = GetLastError();
        if (readOnly)
            SetFileAttributesW(win32Path.c_str(), attributes);
        failedPath = path;
        return false;
    }
    error = GetLastError();
    failedPath = path;
    return false;
}

std::wstring LinkOnTheWay(const std::wstring& path)
{
    const std::wstring full = WithoutExtendedPrefix(FullPath(path));
    // Below the root: "C:\" or "\\server\share\".
    std::wstring::size_type start = 0;
    if (full.size() >= 2 && full[1] == L':') {
        start = 2;
    } else if (full.compare(0, 2, L"\\\\") == 0) {
        const std::wstring::size_type server = full.find(L'\\', 2);
        start = server == std::wstring::npos ? full.size() : full.find(L'\\', server + 1);
        if (start == std::wstring::npos)
            start = full.size();
    }
    std::wstring::size_type at = start;
    while (at < full.size()) {
        const std::wstring::size_type next = full.find_first_of(L"\\/", at + 1);
        const std::wstring place = full.substr(0, next == std::wstring::npos ? full.size() : next);
        if (place.size() > start + 1 && LinkAt(place) != NoLink)
            return place;
        if (next == std::wstring::npos)
            break;
        at = next;
    }
    return std::wstring();
}

PathProblem CheckStateFolder(const std::wstring& folder)
{
    const PathProblem problem = CheckTarget(folder);
    if (problem != PathAcceptable)
        return problem;
    return LinkOnTheWay(folder).empty() ? PathAcceptable : PathThroughLink;
}
