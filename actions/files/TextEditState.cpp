#include "TextEditState.h"

#include "core/KeptObjects.h"

#include <cstdio>

#include "core/Action.h"
#include "core/ContentHash.h"
#include "core/FileLinks.h"
#include "core/PathRules.h"
#include "LineFiles.h"
#include "PocoWrapper/File.h"
#include "PocoWrapper/String.h"

namespace {
const wchar_t* const kEditState = L"edit";
const wchar_t* const kEdited = L"edited";
const wchar_t* const kOriginal = L"Original";
const wchar_t* const kRecord = L"Edited";
const wchar_t* const kRecordDraft = L"Edited.new";

std::wstring withError(const std::wstring& line, DWORD error)
{
    return line + L" (error " + std::to_wstring(error) + L")";
}

bool exists(const std::wstring& path)
{
    return AttributesAt(path) != INVALID_FILE_ATTRIBUTES;
}

bool move(const std::wstring& from, const std::wstring& to, DWORD flags, DWORD& error)
{
    if (MoveFileExW(ExtendedLengthPath(from).c_str(), ExtendedLengthPath(to).c_str(), flags | MOVEFILE_WRITE_THROUGH))
        return true;
    error = GetLastError();
    return false;
}

bool readWritten(const std::wstring& path, WrittenFile& file, DWORD& error)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (!ReadFileInformation(path, information, error))
        return false;
    file.identity = IdentityOf(information);
    file.size = static_cast<unsigned long long>(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
    file.lastWrite = information.ftLastWriteTime;
    return true;
}

std::wstring hashOf(const std::wstring& path)
{
    ContentHash hash;
    ChunkReader reader(ExtendedLengthPath(path));
    while (reader.next())
        hash.add(reader.data(), reader.size());
    return hash.text();
}

std::wstring parentOf(const std::wstring& path)
{
    const std::wstring::size_type at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at);
}
}

std::string EditRecordText(const std::wstring& path, const WrittenFile& file)
{
    char evidence[160];
    std::snprintf(evidence, sizeof(evidence), "%lu %lu %lu %llu %lu %lu %s\n",
                  static_cast<unsigned long>(file.identity.volume), static_cast<unsigned long>(file.identity.indexHigh),
                  static_cast<unsigned long>(file.identity.indexLow), file.size,
                  static_cast<unsigned long>(file.lastWrite.dwHighDateTime),
                  static_cast<unsigned long>(file.lastWrite.dwLowDateTime), PocoWrapper::toUtf8(file.hash).c_str());
    return PocoWrapper::toUtf8(path) + "\n" + evidence;
}

bool ParseEditRecord(const std::string& text, std::wstring& path, WrittenFile& file)
{
    const std::string::size_type feed = text.find('\n');
    if (feed == std::string::npos || feed == 0)
        return false;
    unsigned long volume = 0, high = 0, low = 0, writeHigh = 0, writeLow = 0;
    unsigned long long size = 0;
    char hash[17] = { 0 };
    int used = 0;
    const std::string evidence = text.substr(feed + 1);
    if (std::sscanf(evidence.c_str(), "%lu %lu %lu %llu %lu %lu %16[0-9a-f]\n%n", &volume, &high, &low, &size,
                    &writeHigh, &writeLow, hash, &used) != 7 ||
        std::string(hash).size() != 16 || static_cast<std::size_t>(used) != evidence.size())
        return false;
    path = PocoWrapper::toWide(text.substr(0, feed));
    file.identity.volume = volume;
    file.identity.indexHigh = high;
    file.identity.indexLow = low;
    file.size = size;
    file.lastWrite.dwHighDateTime = writeHigh;
    file.lastWrite.dwLowDateTime = writeLow;
    file.hash = PocoWrapper::toWide(hash);
    return true;
}

bool SameFileInformation(const WrittenFile& left, const WrittenFile& right)
{
    return left.identity == right.identity && left.size == right.size &&
           left.lastWrite.dwHighDateTime == right.lastWrite.dwHighDateTime &&
           left.lastWrite.dwLowDateTime == right.lastWrite.dwLowDateTime;
}

TextEditState::TextEditState(ILogger& log, const std::wstring& invocationFolder, const std::wstring& file)
    : m_log(log), m_state(invocationFolder, kEditState, file), m_earlier(false), m_originalKept(false),
      m_ownState(false), m_touched(false)
{
}

TextEditState::~TextEditState()
{
    if (!m_touched)
        forgetOwnState();
}

bool TextEditState::begin()
{
    if (m_earlier)
        return true;
    RollbackSignal signal;
    signal.object = m_state.object();
    signal.change = kEdited;
    m_log.Log(LogLevelInfo, L"Writing rollback signal: " + m_state.signalPath());
    DWORD error = 0;
    if (!m_state.write(signal, error)) {
        m_log.Log(LogLevelError, withError(L"Couldn't write the rollback signal " + m_state.signalPath(), error));
        std::wstring failed;
        m_state.discard(failed, error);
        return false;
    }
    m_ownState = true;
    return true;
}

bool TextEditState::readRecords(std::wstring& path, std::vector<WrittenFile>& left) const
{
    for (const wchar_t* name : { kRecord, kRecordDraft }) {
        std::string text;
        std::wstring recordPath;
        WrittenFile file;
        if (m_state.readKept(name, text) && ParseEditRecord(text, recordPath, file)) {
            path = recordPath;
            left.push_back(file);
        }
    }
    return !left.empty();
}

bool TextEditState::isWhatTheEditLeft(const std::wstring& path, const std::vector<WrittenFile>& left) const
{
    WrittenFile now;
    DWORD error = 0;
    if (LinkAt(path) != NoLink || !readWritten(path, now, error))
        return false;
    // Identity, size and time first: reading the bytes is the dear part.
    std::wstring hash;
    for (const WrittenFile& file : left) {
        if (!SameFileInformation(file, now))
            continue;
        try {
            if (hash.empty())
                hash = hashOf(path);
        } catch (const FileError&) {
            return false;
        }
        if (hash == file.hash)
            return true;
    }
    return false;
}

bool TextEditState::accept()
{
    RollbackSignal signal;
    m_earlier = m_state.read(signal);
    if (!m_earlier) {
        // What an earlier, unfinished write of a state left is no state.
        if (exists(m_state.folder())) {
            std::wstring failed;
            DWORD error = 0;
            if (!m_state.discard(failed, error)) {
                m_log.Log(LogLevelError, withError(L"Couldn't remove the rollback state " + failed, error));
                return false;
            }
        }
        return true;
    }
    m_originalKept = exists(m_state.kept(kOriginal));
    m_log.Log(LogLevelInfo, L"Keeping the rollback state of an earlier run: " + m_state.folder());
    if (!m_originalKept)
        return true;
    std::wstring path;
    std::vector<WrittenFile> left;
    if (readRecords(path, left) && isWhatTheEditLeft(path, left))
        return true;
    m_log.Log(LogLevelError, L"Refusing File \"" + m_state.object() +
                                 L"\": it is no longer the file an earlier run of this edit wrote; the rollback "
                                 L"state of that run is kept at " + m_state.folder());
    return false;
}

void TextEditState::forgetOwnState()
{
    DeleteFileW(ExtendedLengthPath(m_state.kept(kRecordDraft)).c_str());
    if (!m_ownState)
        return;
    std::wstring failed;
    DWORD ignored = 0;
    m_state.discard(failed, ignored);
    m_ownState = false;
}

void TextEditState::fail(const std::wstring& line, DWORD error)
{
    m_log.Log(LogLevelError, withError(line, error));
    m_touched = false;
    forgetOwnState();
    throw FileError("MoveFileExW", error);
}

void TextEditState::replace(const std::wstring& original, const std::wstring& replacement,
                            const ContentHash& written)
{
    WrittenFile left;
    DWORD error = 0;
    if (!readWritten(replacement, left, error))
        throw FileError("GetFileInformationByHandle", error);
    left.hash = written.text();

    const std::wstring editedPath = WithoutExtendedPrefix(FullPath(original));
    if (!m_state.writeKept(kRecordDraft, EditRecordText(editedPath, left), error))
        fail(L"Couldn't write the rollback record " + m_state.kept(kRecordDraft), error);

    const std::wstring kept = m_state.kept(kOriginal);
    if (m_originalKept) {
        // The file is an earlier run's edit; the original stays as it is.
        if (!move(replacement, original, MOVEFILE_REPLACE_EXISTING, error))
            fail(L"Couldn't move " + replacement + L" to " + original, error);
    } else {
        // The original goes into the state by a rename; only a state on
        // another volume costs a copy of it, which keeps its security and
        // attributes too.
        bool copied = false;
        m_touched = true;
        if (!move(original, kept, 0, error)) {
            if (error != ERROR_NOT_SAME_DEVICE)
                fail(L"Couldn't move " + original + L" into the rollback state " + m_state.folder(), error);
            if (!CopyFileW(ExtendedLengthPath(original).c_str(), ExtendedLengthPath(kept).c_str(), TRUE))
                fail(L"Couldn't keep a copy of " + original + L" in " + kept, GetLastError());
            try {
                KeepSecurityAndAttributes(original, kept);
            } catch (const FileError& e) {
                fail(L"Couldn't give " + kept + L" the security of " + original, e.error());
            }
            copied = true;
        }
        if (!move(replacement, original, copied ? MOVEFILE_REPLACE_EXISTING : 0, error)) {
            DWORD ignored = 0;
            if (!copied && !move(kept, original, 0, ignored))
                m_log.Log(LogLevelError, withError(L"Couldn't put " + original + L" back; it stays at " + kept, ignored));
            else
                fail(L"Couldn't move " + replacement + L" to " + original, error);
            throw FileError("MoveFileExW", error);
        }
    }
    // The draft stands for the record until it takes the record's name.
    m_touched = true;
    move(m_state.kept(kRecordDraft), m_state.kept(kRecord), MOVEFILE_REPLACE_EXISTING, error);
    m_ownState = false;
}

int TextEditState::rollBack()
{
    RollbackSignal signal;
    const std::wstring kept = m_state.kept(kOriginal);
    if (!m_state.read(signal) || !exists(kept)) {
        // Without the original the edit never reached the file.
        m_log.Log(LogLevelInfo, L"Nothing to rollback");
        if (exists(m_state.folder()) && m_state.read(signal))
            DiscardState(m_log, m_state);
        return ActionDone;
    }
    std::wstring path;
    std::vector<WrittenFile> left;
    if (!readRecords(path, left)) {
        m_log.Log(LogLevelError, L"Refusing to roll back " + m_state.object() + L": the rollback record in " +
                                     m_state.folder() + L" cannot be read; the original stays at " + kept);
        return ActionFailed;
    }
    // A file that is gone is given back; one changed since is left alone.
    if (exists(path) && !isWhatTheEditLeft(path, left)) {
        m_log.Log(LogLevelError, L"Refusing to roll back " + path +
                                     L": it changed since LMRXTextReplace wrote it; the original stays at " + kept);
        return ActionFailed;
    }
    m_log.Log(LogLevelInfo, L"Rollback LMRXTextReplace: putting back " + kept + L" at " + path);
    DWORD error = 0;
    if (!exists(parentOf(path)) && !PocoWrapper::File(parentOf(path)).createDirectories()) {
        m_log.Log(LogLevelError, withError(L"Couldn't create the folder of " + path + L"; the original stays at " +
                                               kept,
                                           GetLastError()));
        return ActionFailed;
    }
    if (!move(kept, path, MOVEFILE_REPLACE_EXISTING, error)) {
        // A state on another volume: a complete copy beside the file first.
        const std::wstring copy = path + L".rollback";
        bool placed = false;
        if (error == ERROR_NOT_SAME_DEVICE && !exists(copy)) {
            placed = CopyFileW(ExtendedLengthPath(kept).c_str(), ExtendedLengthPath(copy).c_str(), TRUE);
            error = placed ? 0 : GetLastError();
            try {
                if (placed)
                    KeepSecurityAndAttributes(kept, copy);
            } catch (const FileError& e) {
                placed = false;
                error = e.error();
            }
            placed = placed && move(copy, path, MOVEFILE_REPLACE_EXISTING, error);
            if (!placed)
                DeleteFileW(ExtendedLengthPath(copy).c_str());
        }
        if (!placed) {
            m_log.Log(LogLevelError,
                      withError(L"Couldn't put back " + path + L"; the original stays at " + kept, error));
            return ActionFailed;
        }
    }
    DiscardState(m_log, m_state);
    return ActionDone;
}
