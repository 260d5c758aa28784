#include "RollbackState.h"

#include <Poco/SHA2Engine.h>

#include "core/FileIdentity.h"
#include "core/FileLinks.h"
#include "core/PathRules.h"
#include "core/RegistryNames.h"
#include "core/ScopedHandle.h"
#include "PocoWrapper/String.h"

namespace {
const wchar_t* const kSignalName = L"DoRollback";
const wchar_t* const kSignalDraft = L"DoRollback.new";
const wchar_t* const kStateMark = L"VerrandState";
const char* const kStateMarkText =
    "Rollback state of Verrand's actions: removed with this folder once the installation is committed or rolled "
    "back.\r\n";

// The tags of the signal's lines after the object and the change.
const std::wstring kFolderTag = L"folder ";
const std::wstring kKeyTag = L"key ";
const std::wstring kLeftFileTag = L"left-file ";
const std::wstring kBeforeTag = L"before ";
const std::wstring kAfterTag = L"after ";

std::vector<std::wstring> splitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    std::wstring::size_type start = 0;
    while (start < text.size()) {
        std::wstring::size_type end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Names and paths stand on one line each: a line break in one (a registry
// value's name may hold any character) and the escape itself are written
// as %0A, %0D and %25.
std::wstring escapeLine(const std::wstring& text)
{
    std::wstring line;
    for (wchar_t ch : text) {
        if (ch == L'%')
            line += L"%25";
        else if (ch == L'\n')
            line += L"%0A";
        else if (ch == L'\r')
            line += L"%0D";
        else
            line += ch;
    }
    return line;
}

std::wstring unescapeLine(const std::wstring& line)
{
    std::wstring text;
    for (std::wstring::size_type i = 0; i < line.size(); ++i) {
        if (line.compare(i, 3, L"%25") == 0) {
            text += L'%';
            i += 2;
        } else if (line.compare(i, 3, L"%0A") == 0) {
            text += L'\n';
            i += 2;
        } else if (line.compare(i, 3, L"%0D") == 0) {
            text += L'\r';
            i += 2;
        } else {
            text += line[i];
        }
    }
    return text;
}

const wchar_t* const kHexDigits = L"0123456789abcdef";

std::wstring hexOf(const std::string& bytes)
{
    std::wstring hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        hex += kHexDigits[byte >> 4];
        hex += kHexDigits[byte & 15];
    }
    return hex;
}

bool bytesOf(const std::wstring& hex, std::string& bytes)
{
    if (hex.size() % 2 != 0)
        return false;
    bytes.clear();
    for (std::wstring::size_type i = 0; i < hex.size(); i += 2) {
        const wchar_t* high = wcschr(kHexDigits, hex[i]);
        const wchar_t* low = wcschr(kHexDigits, hex[i + 1]);
        if (!hex[i] || !hex[i + 1] || !high || !low)
            return false;
        bytes += static_cast<char>(((high - kHexDigits) << 4) | (low - kHexDigits));
    }
    return true;
}

std::string utf16Bytes(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t ch : text) {
        bytes += static_cast<char>(ch & 0xFF);
        bytes += static_cast<char>((ch >> 8) & 0xFF);
    }
    return bytes;
}

std::wstring fromUtf16Bytes(const std::string& bytes)
{
    std::wstring text;
    for (std::string::size_type i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return text;
}

// "<name as UTF-16 in hex> <type in decimal, or - for none> <data in hex>"
std::wstring valueLine(const RegistryValue& value)
{
    return hexOf(utf16Bytes(value.name)) + L" " + (value.present ? std::to_wstring(value.type) : L"-") + L" " +
           hexOf(value.data);
}

bool parseValue(const std::wstring& line, RegistryValue& value)
{
    const std::wstring::size_type first = line.find(L' ');
    const std::wstring::size_type second = first == std::wstring::npos ? first : line.find(L' ', first + 1);
    if (second == std::wstring::npos)
        return false;
    std::string name;
    if (!bytesOf(line.substr(0, first), name) || !bytesOf(line.substr(second + 1), value.data))
        return false;
    value.name = fromUtf16Bytes(name);
    const std::wstring type = line.substr(first + 1, second - first - 1);
    value.present = type != L"-";
    value.type = REG_NONE;
    if (value.present) {
        if (type.empty() || type.size() > 10 || type.find_first_not_of(L"0123456789") != std::wstring::npos)
            return false;
        value.type = static_cast<DWORD>(wcstoul(type.c_str(), 0, 10));
    }
    return true;
}

// "<volume> <index high> <index low> <digest>"
std::wstring markLine(const FileMark& mark)
{
    return std::to_wstring(mark.identity.volume) + L" " + std::to_wstring(mark.identity.indexHigh) + L" " +
           std::to_wstring(mark.identity.indexLow) + L" " + PocoWrapper::toWide(mark.digest);
}

bool parseMark(const std::wstring& line, FileMark& mark)
{
    unsigned long volume = 0, high = 0, low = 0;
    wchar_t digest[80] = { 0 };
    if (swscanf(line.c_str(), L"%lu %lu %lu %79ls", &volume, &high, &low, digest) != 4)
        return false;
    mark.identity.volume = volume;
    mark.identity.indexHigh = high;
    mark.identity.indexLow = low;
    mark.digest = PocoWrapper::toUtf8(digest);
    return true;
}

bool startsWith(const std::wstring& line, const std::wstring& tag)
{
    return line.compare(0, tag.size(), tag) == 0;
}

bool readWhole(const std::wstring& path, std::string& bytes)
{
    ScopedHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, 0));
    if (!file.valid())
        return false;
    char buffer[4096];
    DWORD got = 0;
    bytes.clear();
    while (ReadFile(file.get(), buffer, sizeof(buffer), &got, 0) && got > 0)
        bytes.append(buffer, got);
    return true;
}

// With `flush`, the bytes are on the disk when it returns.
bool writeWhole(const std::wstring& path, const std::string& bytes, DWORD& error, bool flush = true)
{
    ScopedHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, 0));
    DWORD written = 0;
    const bool done = file.valid() &&
                      WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, 0) &&
                      written == bytes.size() && (!flush || FlushFileBuffers(file.get()));
    if (!done)
        error = GetLastError();
    if (!file.close() && done) {
        error = GetLastError();
        return false;
    }
    return done;
}
}

bool operator==(const FileMark& left, const FileMark& right)
{
    return left.identity == right.identity && left.digest == right.digest;
}

std::wstring StateKey(const std::wstring& name)
{
    // FNV-1a over the upper-cased text, as the file system and the registry
    // compare names.
    std::wstring upper(name);
    if (!upper.empty())
        CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    unsigned long long hash = 14695981039346656037ULL;
    for (wchar_t ch : upper) {
        hash ^= static_cast<unsigned short>(ch);
        hash *= 1099511628211ULL;
    }
    std::wstring key(16, L'0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        key[i] = kHexDigits[hash & 15];
    return key;
}

std::wstring RegistryObjectName(REGSAM view, const std::wstring& rootName, const std::wstring& keyPath,
                                const std::wstring& valueName)
{
    REGSAM chosen = view & (KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    // A 32-bit process sees the 32-bit view unless it asks for the other.
    if (chosen == 0)
        chosen = sizeof(void*) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    std::wstring path = keyPath;
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    std::wstring name = (chosen == KEY_WOW64_32KEY ? L"32:" : L"64:") + rootName + L"\\" + path;
    if (!valueName.empty())
        name += L"\\\\" + valueName;
    return name;
}

RollbackState::RollbackState(const std::wstring& invocationFolder, const std::wstring& kind,
                             const std::wstring& object)
    : RollbackState(invocationFolder, kind, WithoutExtendedPrefix(FullPath(object)), false)
{
}

RollbackState::RollbackState(const std::wstring& invocationFolder, const std::wstring& kind,
                             const std::wstring& object, bool registry)
    : m_invocationFolder(invocationFolder), m_object(object), m_registry(registry)
{
    m_folder = JoinPath(invocationFolder, kind + L"-" + StateKey(m_object));
}

RollbackState RollbackState::ForRegistry(const std::wstring& invocationFolder, const std::wstring& kind,
                                         const std::wstring& object)
{
    return RollbackState(invocationFolder, kind, object, true);
}

RollbackState RollbackState::OfNamed(const std::wstring& invocationFolder, const std::wstring& kind,
                                     const std::wstring& name)
{
    return RollbackState(invocationFolder, kind, name, true);
}

std::wstring RollbackState::signalPath() const
{
    return JoinPath(m_folder, kSignalName);
}

std::wstring RollbackState::kept(const std::wstring& name) const
{
    return JoinPath(m_folder, name);
}

bool RollbackState::present() const
{
    return AttributesAt(signalPath()) != INVALID_FILE_ATTRIBUTES;
}

bool RollbackState::read(RollbackSignal& signal) const
{
    std::string bytes;
    if (!readWhole(signalPath(), bytes))
        return false;
    const std::vector<std::wstring> lines = splitLines(PocoWrapper::toWide(bytes));
    if (lines.size() < 2)
        return false;
    const std::wstring object = unescapeLine(lines[0]);
    if (m_registry ? !SameRegistryName(object, m_object) : !SameFileName(object, m_object))
        return false;
    RollbackSignal read;
    read.object = object;
    read.change = lines[1];
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const std::wstring& line = lines[i];
        RegistryValue value;
        if (startsWith(line, kFolderTag)) {
            read.madeFolders.push_back(unescapeLine(line.substr(kFolderTag.size())));
        } else if (startsWith(line, kKeyTag)) {
            read.madeKeys.push_back(unescapeLine(line.substr(kKeyTag.size())));
        } else if (startsWith(line, kLeftFileTag)) {
            if (!parseMark(line.substr(kLeftFileTag.size()), read.left))
                return false;
            read.leftFile = true;
        } else if (startsWith(line, kBeforeTag) || startsWith(line, kAfterTag)) {
            const bool before = startsWith(line, kBeforeTag);
            if (!parseValue(line.substr((before ? kBeforeTag : kAfterTag).size()), value))
                return false;
            (before ? read.before : read.after).push_back(value);
        } else {
            // A signal this build cannot read whole is none it may act on.
            return false;
        }
    }
    signal = read;
    return true;
}

bool RollbackState::write(const RollbackSignal& signal, DWORD& error) const
{
    if (!MakeInvocationFolder(m_invocationFolder, error))
        return false;
    if (!CreateDirectoryW(ExtendedLengthPath(m_folder).c_str(), 0) && GetLastError() != ERROR_ALREADY_EXISTS) {
        error = GetLastError();
        return false;
    }
    std::wstring text = escapeLine(signal.object) + L"\n" + signal.change + L"\n";
    for (const std::wstring& folder : signal.madeFolders)
        text += kFolderTag + escapeLine(folder) + L"\n";
    for (const std::wstring& key : signal.madeKeys)
        text += kKeyTag + escapeLine(key) + L"\n";
    if (signal.leftFile)
        text += kLeftFileTag + markLine(signal.left) + L"\n";
    for (const RegistryValue& value : signal.before)
        text += kBeforeTag + valueLine(value) + L"\n";
    for (const RegistryValue& value : signal.after)
        text += kAfterTag + valueLine(value) + L"\n";
    const std::wstring draft = JoinPath(m_folder, kSignalDraft);
    if (!writeWhole(draft, PocoWrapper::toUtf8(text), error)) {
        DeleteFileW(ExtendedLengthPath(draft).c_str());
        return false;
    }
    if (!MoveFileExW(ExtendedLengthPath(draft).c_str(), ExtendedLengthPath(signalPath()).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteFileW(ExtendedLengthPath(draft).c_str());
        return false;
    }
    return true;
}

bool RollbackState::writeKept(const std::wstring& name, const std::string& bytes, DWORD& error) const
{
    return writeWhole(kept(name), bytes, error, false);
}

bool RollbackState::readKept(const std::wstring& name, std::string& bytes) const
{
    return readWhole(kept(name), bytes);
}

bool RollbackState::discard(std::wstring& failedPath, DWORD& error) const
{
    return RemoveTreeNoFollow(m_folder, failedPath, error);
}

struct ContentDigest::Engine {
    Poco::SHA2Engine sha{ Poco::SHA2Engine::SHA_256 };
};

ContentDigest::ContentDigest() : m_engine(new Engine) {}

ContentDigest::~ContentDigest()
{
    delete m_engine;
}

void ContentDigest::add(const void* bytes, std::size_t size)
{
    m_engine->sha.update(bytes, static_cast<unsigned>(size));
}

std::string ContentDigest::finish()
{
    return Poco::DigestEngine::digestToHex(m_engine->sha.digest());
}

bool ReadFileMark(const std::wstring& path, FileMark& mark, DWORD& error)
{
    const DWORD attributes = AttributesAt(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        LinkAt(path) != NoLink) {
        error = attributes == INVALID_FILE_ATTRIBUTES ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_FUNCTION;
        return false;
    }
    ScopedHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, 0));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &information)) {
        error = GetLastError();
        return false;
    }
    ContentDigest digest;
    std::vector<char> buffer(64 * 1024);
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(file.get(), &buffer[0], static_cast<DWORD>(buffer.size()), &got, 0)) {
            error = GetLastError();
            return false;
        }
        if (got == 0)
            break;
        digest.add(&buffer[0], got);
    }
    mark.identity.volume = information.dwVolumeSerialNumber;
    mark.identity.indexHigh = information.nFileIndexHigh;
    mark.identity.indexLow = information.nFileIndexLow;
    mark.digest = digest.finish();
    return true;
}

bool IsMarkedFile(const std::wstring& path, const FileMark& mark)
{
    FileMark now;
    DWORD error = 0;
    return ReadFileMark(path, now, error) && now == mark;
}

namespace {
// The path without the separators that end it (a drive root keeps its own).
std::wstring withoutTrailingSeparators(std::wstring path)
{
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/') && !IsDriveRoot(path))
        path.pop_back();
    return path;
}
}

bool MakeInvocationFolder(const std::wstring& invocationFolder, DWORD& error)
{
    const std::wstring folder = withoutTrailingSeparators(WithoutExtendedPrefix(FullPath(invocationFolder)));
    // The folders that are missing, innermost first.
    std::vector<std::wstring> missing;
    for (std::wstring at = folder; !IsDriveRoot(at) && AttributesAt(at) == INVALID_FILE_ATTRIBUTES;) {
        missing.push_back(at);
        const std::wstring::size_type cut = at.find_last_of(L"\\/");
        if (cut == std::wstring::npos || cut == 0)
            break;
        at = withoutTrailingSeparators(at.substr(0, cut + 1));
    }
    for (std::vector<std::wstring>::reverse_iterator it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!CreateDirectoryW(ExtendedLengthPath(*it).c_str(), 0)) {
            // Made meanwhile by someone else: not a folder this call made.
            if (GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            error = GetLastError();
            return false;
        }
        if (*it != folder && !MarkStateFolder(*it, error))
            return false;
    }
    if (missing.empty() && !(AttributesAt(folder) & FILE_ATTRIBUTE_DIRECTORY)) {
        error = ERROR_DIRECTORY;
        return false;
    }
    return true;
}

bool MarkStateFolder(const std::wstring& folder, DWORD& error)
{
    return writeWhole(JoinPath(folder, kStateMark), kStateMarkText, error);
}

bool IsMarkedStateFolder(const std::wstring& folder)
{
    const std::wstring mark = JoinPath(folder, kStateMark);
    const DWORD attributes = AttributesAt(mark);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) && LinkAt(mark) == NoLink;
}

namespace {
// What stands at a path given as a state folder, before anything is removed.
StateFolderRemoval checkStateFolder(const std::wstring& folder, std::wstring& failedPath, DWORD& error)
{
    const DWORD attributes = AttributesAt(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return StateFolderMissing;
        failedPath = folder;
        return StateFolderNotRemoved;
    }
    if (LinkAt(folder) != NoLink)
        return StateFolderIsLink;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return StateFolderIsFile;
    if (!IsMarkedStateFolder(folder))
        return StateFolderNotMarked;
    return StateFolderRemoved;
}
}

StateFolderRemoval RemoveStateFolder(const std::wstring& given, std::wstring& failedPath, DWORD& error)
{
    const std::wstring folder = withoutTrailingSeparators(given);
    const StateFolderRemoval found = checkStateFolder(folder, failedPath, error);
    if (found != StateFolderRemoved)
        return found;
    return RemoveTreeNoFollow(folder, failedPath, error) ? StateFolderRemoved : StateFolderNotRemoved;
}

StateFolderRemoval RemoveEmptiedStateFolder(const std::wstring& given, std::wstring& failedPath, DWORD& error)
{
    const std::wstring folder = withoutTrailingSeparators(given);
    const StateFolderRemoval found = checkStateFolder(folder, failedPath, error);
    if (found != StateFolderRemoved)
        return found;
    bool kept = false;
    const bool listed = EachChild(folder, error, [&](const std::wstring& path, DWORD attributes) {
        if (path == JoinPath(folder, kStateMark))
            return true;
        // A step's folder goes only while empty (RemoveDirectoryW refuses
        // any other); a link or file is never touched.
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            LinkAt(path) != NoLink || !RemoveDirectoryW(ExtendedLengthPath(path).c_str()))
            kept = true;
        return true;
    });
    if (!listed) {
        failedPath = folder;
        return StateFolderNotRemoved;
    }
    if (kept)
        return StateFolderKept;
    if (!DeleteFileW(ExtendedLengthPath(JoinPath(folder, kStateMark)).c_str()) ||
        !RemoveDirectoryW(ExtendedLengthPath(folder).c_str())) {
        error = GetLastError();
        failedPath = folder;
        return StateFolderNotRemoved;
    }
    return StateFolderRemoved;
}
