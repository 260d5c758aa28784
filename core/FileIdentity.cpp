#include "FileIdentity.h"

#include <vector>

#include <winternl.h>

#include "PathRules.h"
#include "ScopedHandle.h"

namespace {
// A full path taken apart: its root ("C:\" or "\\server\share\") and the
// pieces below it.
struct SplitPath {
    std::wstring root;
    std::vector<std::wstring> pieces;

    // The path down to (not including) pieces[depth].
    std::wstring prefix(std::size_t depth) const
    {
        std::wstring text = root;
        for (std::size_t i = 0; i < depth; ++i) {
            if (i > 0)
                text += L'\\';
            text += pieces[i];
        }
        return text;
    }
};

SplitPath splitFullPath(const std::wstring& path)
{
    const std::wstring full = WithoutExtendedPrefix(FullPath(WithoutExtendedPrefix(path)));
    std::vector<std::wstring> pieces = PathPieces(full);
    SplitPath split;
    std::size_t rootPieces = 0;
    if (full.size() >= 2 && full[1] == L':') {
        rootPieces = 1;
        split.root = pieces.empty() ? full.substr(0, 2) + L"\\" : pieces[0] + L"\\";
    } else if (pieces.size() >= 2) {
        rootPieces = 2;
        split.root = L"\\\\" + pieces[0] + L"\\" + pieces[1] + L"\\";
    }
    if (rootPieces <= pieces.size())
        split.pieces.assign(pieces.begin() + rootPieces, pieces.end());
    return split;
}
}

bool operator==(const FileIdentity& left, const FileIdentity& right)
{
    return left.volume == right.volume && left.indexHigh == right.indexHigh && left.indexLow == right.indexLow;
}

std::wstring ExtendedLengthPath(const std::wstring& path)
{
    const std::wstring full = WithoutExtendedPrefix(FullPath(WithoutExtendedPrefix(path)));
    if (full.size() >= 2 && full[0] == L'\\' && full[1] == L'\\')
        return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 2 && full[1] == L':')
        return L"\\\\?\\" + full;
    return full;
}

namespace {
// No access is asked for: the object's information is readable anyway, and
// a file that others hold open still gives its identity.
HANDLE openForIdentity(const std::wstring& path)
{
    return CreateFileW(ExtendedLengthPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, 0);
}
}

bool ReadFileInformation(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& information, DWORD& error)
{
    ScopedHandle handle(openForIdentity(path));
    if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &information)) {
        error = GetLastError();
        return false;
    }
    return true;
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& information)
{
    const FileIdentity identity = { information.dwVolumeSerialNumber, information.nFileIndexHigh,
                                    information.nFileIndexLow };
    return identity;
}

bool ReadFileIdentity(const std::wstring& path, FileIdentity& identity, DWORD& error)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (!ReadFileInformation(path, information, error))
        return false;
    identity = IdentityOf(information);
    return true;
}

bool IsSameObject(const std::wstring& left, const std::wstring& right)
{
    FileIdentity leftIdentity;
    DWORD error = 0;
    return ReadFileIdentity(left, leftIdentity, error) && OpensObject(right, leftIdentity);
}

bool OpensObject(const std::wstring& path, const FileIdentity& identity)
{
    ScopedHandle handle(openForIdentity(path));
    if (!handle.valid())
        return false;
    IO_STATUS_BLOCK status;
    FILE_INTERNAL_INFORMATION internal;
    if (NtQueryInformationFile(handle.get(), &status, &internal, sizeof(internal), FileInternalInformation) >= 0 &&
        (internal.IndexNumber.HighPart != static_cast<LONG>(identity.indexHigh) ||
         internal.IndexNumber.LowPart != identity.indexLow))
        return false;
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileInformationByHandle(handle.get(), &information) && IdentityOf(information) == identity;
}

bool IsSameOrInsideObject(const std::wstring& path, const std::wstring& folder)
{
    const SplitPath inner = splitFullPath(path);
    const SplitPath outer = splitFullPath(folder);
    DWORD error = 0;

    // The deepest folder of `folder` that exists, and the pieces below it.
    std::size_t anchorDepth = outer.pieces.size() + 1;
    FileIdentity anchor;
    while (anchorDepth-- > 0) {
        if (ReadFileIdentity(outer.prefix(anchorDepth), anchor, error))
            break;
    }
    if (anchorDepth > outer.pieces.size())
        return IsSameOrInside(path, folder) || IsSameOrInside(FullPath(path), FullPath(folder));
    const std::size_t restCount = outer.pieces.size() - anchorDepth;

    // Some folder of `path` is the anchor itself, and the pieces that follow
    // it are the missing ones of `folder`.
    for (std::size_t depth = 0; depth + restCount <= inner.pieces.size(); ++depth) {
        if (!OpensObject(inner.prefix(depth), anchor))
            continue;
        bool restMatches = true;
        for (std::size_t i = 0; i < restCount && restMatches; ++i)
            restMatches = SameFileName(inner.pieces[depth + i], outer.pieces[anchorDepth + i]);
        if (restMatches)
            return true;
    }
    return false;
}
