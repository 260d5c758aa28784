#include "PathRules.h"

#include <windows.h>

#include "LogLevel.h"

namespace {
bool isSeparator(wchar_t ch)
{
    return ch == L'\\' || ch == L'/';
}

bool isDrive(const std::wstring& piece)
{
    return piece.size() == 2 && piece[1] == L':' &&
           ((piece[0] >= L'A' && piece[0] <= L'Z') || (piece[0] >= L'a' && piece[0] <= L'z'));
}

wchar_t upperAscii(wchar_t ch)
{
    return ch >= L'a' && ch <= L'z' ? static_cast<wchar_t>(ch - L'a' + L'A') : ch;
}

bool sameName(const std::wstring& left, const std::wstring& right)
{
    return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

std::wstring::size_type leadingSeparators(const std::wstring& path)
{
    std::wstring::size_type count = 0;
    while (count < path.size() && isSeparator(path[count]))
        ++count;
    return count;
}

bool isBlank(const std::wstring& text)
{
    return text.find_first_not_of(L" \t\r\n\v\f") == std::wstring::npos;
}
}

std::vector<std::wstring> PathPieces(const std::wstring& path)
{
    std::vector<std::wstring> pieces;
    std::wstring::size_type start = 0;
    while (start <= path.size()) {
        std::wstring::size_type end = start;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        if (end > start)
            pieces.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

bool EndsInDotOrBlank(const std::wstring& piece)
{
    return !piece.empty() && (piece[piece.size() - 1] == L'.' || piece[piece.size() - 1] == L' ');
}

bool IsReservedDeviceName(const std::wstring& piece)
{
    std::wstring base = piece.substr(0, piece.find_first_of(L".:"));
    while (!base.empty() && base[base.size() - 1] == L' ')
        base.erase(base.size() - 1);
    for (wchar_t& ch : base)
        ch = upperAscii(ch);
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0))
        return false;
    // Windows reserves the superscript digits one to three as well.
    const wchar_t digit = base[3];
    return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

bool IsDriveRoot(const std::wstring& path)
{
    const std::vector<std::wstring> pieces = PathPieces(path);
    const std::wstring::size_type leading = leadingSeparators(path);
    if (pieces.empty())
        return leading > 0;
    if (leading == 0)
        return pieces.size() == 1 && isDrive(pieces[0]);
    if (leading == 1)
        return false;
    // \\?\ and \\.\ forms: a drive, a share below UNC, or a volume name.
    if (pieces[0] == L"?" || pieces[0] == L".") {
        if (pieces.size() == 1)
            return true;
        if (sameName(pieces[1], L"UNC"))
            return pieces.size() <= 4;
        return pieces.size() == 2;
    }
    // \\server\share
    return pieces.size() <= 2;
}

PathProblem CheckPath(const std::wstring& path)
{
    if (isBlank(path))
        return PathEmpty;
    for (const std::wstring& piece : PathPieces(path)) {
        if (EndsInDotOrBlank(piece))
            return PathPieceEndsInDotOrBlank;
        if (IsReservedDeviceName(piece))
            return PathReservedDeviceName;
    }
    return PathAcceptable;
}

PathProblem CheckGiven(const std::wstring& path)
{
    return isBlank(path) ? PathEmpty : PathAcceptable;
}

PathProblem CheckName(const std::wstring& name)
{
    const PathProblem problem = CheckPath(name);
    if (problem == PathAcceptable && PathPieces(name).empty())
        return PathNoName;
    return problem;
}

PathProblem CheckTarget(const std::wstring& path)
{
    const PathProblem problem = CheckPath(path);
    if (problem == PathAcceptable && IsDriveRoot(path))
        return PathDriveRoot;
    return problem;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    return folder + L"\\" + name;
}

bool IsSameOrInside(const std::wstring& path, const std::wstring& folder)
{
    const std::vector<std::wstring> pathPieces = PathPieces(path);
    const std::vector<std::wstring> folderPieces = PathPieces(folder);
    if (folderPieces.size() > pathPieces.size())
        return false;
    for (std::size_t i = 0; i < folderPieces.size(); ++i) {
        if (!sameName(pathPieces[i], folderPieces[i]))
            return false;
    }
    return true;
}

bool SameFileName(const std::wstring& left, const std::wstring& right)
{
    return sameName(left, right);
}

std::wstring WithoutExtendedPrefix(const std::wstring& path)
{
    if (path.size() < 4 || !isSeparator(path[0]) || !isSeparator(path[1]) || path[2] != L'?' || !isSeparator(path[3]))
        return path;
    const std::wstring rest = path.substr(4);
    if (rest.size() >= 4 && sameName(rest.substr(0, 3), L"UNC") && isSeparator(rest[3]))
        return L"\\\\" + rest.substr(4);
    return rest;
}

bool SamePath(const std::wstring& left, const std::wstring& right)
{
    return IsSameOrInside(left, right) && IsSameOrInside(right, left);
}

std::wstring FullPath(const std::wstring& path)
{
    const DWORD size = GetFullPathNameW(path.c_str(), 0, 0, 0);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), size, &full[0], 0);
    if (written == 0 || written >= size)
        return path;
    full.resize(written);
    return full;
}

std::wstring PathRefusal(const std::wstring& argument, const std::wstring& value, PathProblem problem)
{
    const wchar_t* reason = L"";
    switch (problem) {
    case PathAcceptable:
        break;
    case PathEmpty:
        reason = L"the path is empty";
        break;
    case PathNoName:
        reason = L"it names no file or folder";
        break;
    case PathDriveRoot:
        reason = L"it names the root of a drive";
        break;
    case PathPieceEndsInDotOrBlank:
        reason = L"a path piece ends in a dot or a blank";
        break;
    case PathReservedDeviceName:
        reason = L"a path piece is a reserved device name";
        break;
    case PathHoldsStateFolder:
        reason = L"it holds the folder the action keeps its rollback state in";
        break;
    case PathThroughLink:
        reason = L"a link or junction stands on its way";
        break;
    }
    return L"Refusing " + argument + L" \"" + value + L"\": " + reason;
}

bool AcceptPath(ILogger& log, const std::wstring& argument, const std::wstring& value, PathProblem problem)
{
    if (problem == PathAcceptable)
        return true;
    log.Log(LogLevelError, PathRefusal(argument, value, problem));
    return false;
}
