#include "ReplaceFileVariables.h"

#include <map>
#include <vector>

#include <windows.h>

#include "EntryList.h"
#include "LineFiles.h"
#include "LineReplacement.h"
#include "LineStream.h"
#include "PocoWrapper/String.h"
#include "ReplacementAttributes.h"
#include "core/ContentHash.h"
#include "core/LogLevel.h"
#include "core/PathRules.h"
#include "core/ScopedHandle.h"

namespace {
const wchar_t* const kMasked = L"********";

// One entry's log lines: the texts the log shows, and for every line of the
// file in which it replaced something, how many.
class EntryLog : public ReplacementReport {
public:
    EntryLog(ILogger& logger, const std::wstring& filePath, const ReplacementEntry& entry, long attributes,
             bool debug)
        : m_logger(logger), m_filePath(filePath), m_empty(entry.search.empty()),
          m_shownSearch(!debug && (attributes & AttributeMaskSearchInLog) ? kMasked : entry.search),
          m_shownReplacement(!debug && (attributes & AttributeMaskReplacementInLog) ? kMasked : entry.replacement)
    {
    }

    void lineDone(std::size_t count)
    {
        if (m_empty)
            m_logger.Log(LogLevelError, L"Empty search string - replacement skipped.");
        else if (count > 0)
            m_logger.Log(LogLevelInfo, replacedLine(static_cast<int>(count)));
    }

private:
    // Only the count changes from line to line, so each text is formatted
    // once; most lines have the count of the line before.
    const std::wstring& replacedLine(int count)
    {
        if (count == m_lastCount)
            return m_lastLine;
        std::wstring& text = m_replacedLines[count];
        if (text.empty())
            text = PocoWrapper::format(L"ReplaceFileVariables: Replaced %i instances of '%s' with '%s' in '%s'", count,
                                       m_shownSearch, m_shownReplacement, m_filePath);
        m_lastCount = count;
        m_lastLine = text;
        return m_lastLine;
    }

    ILogger& m_logger;
    const std::wstring& m_filePath;
    bool m_empty;
    std::wstring m_shownSearch;
    std::wstring m_shownReplacement;
    std::map<int, std::wstring> m_replacedLines;
    int m_lastCount = 0;
    std::wstring m_lastLine;
};

// The entries as stages from the first to the last, the last one writing
// the file; the search and replacement texts are encoded as the file's
// text is.
template <class Unit, class Encode>
void replaceInLines(ChunkReader& input, std::size_t markSize, const LineUnits<Unit>& units, bool keepEndings,
                    Encode encode, const std::vector<ReplacementEntry>& entries, std::vector<EntryLog>& logs,
                    BufferedFileWriter& output)
{
    output.write(input.data(), markSize);
    LineOutput<Unit> writer(output, units, keepEndings);
    std::vector<typename ReplaceChain<Unit>::Entry> stages(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        stages[k].search = encode(entries[k].search);
        stages[k].replacement = encode(entries[k].replacement);
        stages[k].report = &logs[k];
    }
    ReplaceChain<Unit> chain(stages, units, writer);
    const std::string rest = StreamLines(input, markSize, units, chain);
    output.write(rest.data(), rest.size());
}

void replaceInFile(ILogger& logger, const std::wstring& filePath, const std::wstring& tempPath,
                   const std::vector<ReplacementEntry>& entries, std::vector<EntryLog>& logs, bool& created,
                   ContentHash* hash)
{
    ChunkReader input(filePath);
    logger.Log(LogLevelInfo, L"Output File will be UTF-8 Encoded");
    BufferedFileWriter output(tempPath, hash);
    created = true;
    input.next();
    std::size_t markSize = 0;
    const TextEncoding encoding = DetectTextEncoding(input.data(), input.size(), markSize);
    if (encoding == TextEncoding::Bytes) {
        replaceInLines(input, markSize, ByteLineUnits(), false, ByteUnitsOf, entries, logs, output);
    } else {
        const auto encode = [encoding](const std::wstring& text) { return Utf16UnitsOf(text, encoding); };
        replaceInLines(input, markSize, Utf16LineUnits(encoding), true, encode, entries, logs, output);
    }
    output.close();
}

// The file the edit works on: the path itself, or, when the path reaches
// its file through a link (the file's own or a folder's), the link's
// target, so that the target is edited in its own folder and the link
// stays a link.
std::wstring editedFile(const std::wstring& path)
{
    ScopedHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0));
    if (!file.valid())
        return path;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(file.get(), &final[0], static_cast<DWORD>(final.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return path;
        if (length < final.size()) {
            final.resize(length);
            break;
        }
        final.resize(length);
    }
    final = WithoutExtendedPrefix(final);
    return SamePath(final, FullPath(path)) ? path : final;
}

// Puts the finished temporary file in the place of the edited file in one
// step, so that the edited file is either the old one or the new one, or
// hands it to the keeper. A read-only file is not replaced (Windows refuses
// that move; not every implementation of it does, so the rule is checked
// here).
void replaceOriginal(const std::wstring& filePath, const std::wstring& tempPath, OriginalKeeper* keeper,
                     const ContentHash& written)
{
    const DWORD attributes = GetFileAttributesW(filePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw FileError("MoveFileExW", ERROR_ACCESS_DENIED);
    KeepSecurityAndAttributes(filePath, tempPath);
    if (keeper)
        keeper->replace(filePath, tempPath, written);
    else if (!MoveFileExW(tempPath.c_str(), filePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw FileError("MoveFileExW", GetLastError());
}
}

void KeepSecurityAndAttributes(const std::wstring& original, const std::wstring& replacement)
{
    const SECURITY_INFORMATION owner = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;
    const SECURITY_INFORMATION all = owner | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    GetFileSecurityW(original.c_str(), all, 0, 0, &needed);
    std::vector<BYTE> descriptor(needed > 0 ? needed : 1);
    if (!GetFileSecurityW(original.c_str(), all, descriptor.data(), static_cast<DWORD>(descriptor.size()), &needed))
        throw FileError("GetFileSecurityW", GetLastError());
    if (!SetFileSecurityW(replacement.c_str(), all, descriptor.data()) &&
        !SetFileSecurityW(replacement.c_str(), DACL_SECURITY_INFORMATION, descriptor.data()))
        throw FileError("SetFileSecurityW", GetLastError());

    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = GetFileAttributesW(original.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        throw FileError("GetFileAttributesW", GetLastError());
    if ((attributes & kept) != 0 && !SetFileAttributesW(replacement.c_str(), attributes & kept))
        throw FileError("SetFileAttributesW", GetLastError());
}

bool ReplaceFileVariables(ILogger& logger, const std::wstring& filePath, const std::wstring& entryList,
                          const std::wstring& attributeList, bool honourEscapes, bool debug, OriginalKeeper* keeper)
{
    std::vector<ReplacementEntry> entries;
    if (!ParseEntryList(logger, entryList, honourEscapes, entries))
        return false;
    const std::vector<std::wstring> attributes = SplitAttributeList(attributeList);

    if (GetFileAttributesW(filePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        logger.Log(LogLevelError, PocoWrapper::format(L"ReplaceFileVariables: %s doesn't exist", filePath));
        return true;
    }

    std::vector<EntryLog> logs;
    logs.reserve(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k)
        logs.push_back(EntryLog(logger, filePath, entries[k], EntryAttribute(attributes, k), debug));

    const std::wstring edited = editedFile(filePath);
    // Created only where nothing stands yet: a file of that name is not
    // the edit's to overwrite or delete.
    const std::wstring tempPath = edited + L".tmp";
    bool created = false;
    // The bytes written are hashed only for a keeper, which keeps the hash
    // as evidence of what the edit left.
    ContentHash written;
    try {
        replaceInFile(logger, edited, tempPath, entries, logs, created, keeper ? &written : 0);
        replaceOriginal(edited, tempPath, keeper, written);
    } catch (...) {
        logger.Log(LogLevelError,
                   PocoWrapper::format(L"ReplaceFileVariables: error reading from '%s' writing to '%s', aborting..",
                                       edited, tempPath));
        if (created)
            DeleteFileW(tempPath.c_str());
        return false;
    }
    return true;
}
