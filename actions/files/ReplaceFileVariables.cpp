#include "ReplaceFileVariables.h"

#include <map>
#include <vector>

#include <windows.h>

#include "EntryList.h"
#include "LineFiles.h"
#include "LineReplacement.h"
#include "PocoWrapper/String.h"
#include "ReplacementAttributes.h"
#include "core/LogLevel.h"

namespace {
const wchar_t* const kMasked = L"********";

// One entry as the lines see it: the byte forms to match and insert, the
// texts the log shows.
struct PreparedEntry {
    PreparedEntry(const ReplacementEntry& entry, long attributes, bool debug)
        : search(LineText(entry.search)), replacement(LineText(entry.replacement)), empty(entry.search.empty()),
          shownSearch(!debug && (attributes & AttributeMaskSearchInLog) ? kMasked : entry.search),
          shownReplacement(!debug && (attributes & AttributeMaskReplacementInLog) ? kMasked : entry.replacement)
    {
    }
    // The log line for a line in which `count` occurrences were replaced.
    // Only the count changes from line to line, so each text is formatted
    // once.
    const std::wstring& replacedLine(int count, const std::wstring& filePath)
    {
        std::wstring& text = replacedLines[count];
        if (text.empty())
            text = PocoWrapper::format(L"ReplaceFileVariables: Replaced %i instances of '%s' with '%s' in '%s'", count,
                                       shownSearch, shownReplacement, filePath);
        return text;
    }

    std::string search;
    std::string replacement;
    bool empty;
    std::wstring shownSearch;
    std::wstring shownReplacement;
    std::map<int, std::wstring> replacedLines;
};

void replaceInLines(ILogger& logger, const std::wstring& filePath, const std::wstring& tempPath,
                    std::vector<PreparedEntry>& entries)
{
    LineReader input(filePath);
    logger.Log(LogLevelInfo, L"Output File will be UTF-8 Encoded");
    LineWriter output(tempPath);
    std::string line;
    while (input.next(line)) {
        if (!line.empty() && line[line.size() - 1] == '\r')
            line.erase(line.size() - 1);
        for (PreparedEntry& entry : entries) {
            if (entry.empty) {
                logger.Log(LogLevelError, L"Empty search string - replacement skipped.");
                continue;
            }
            const int count = static_cast<int>(ReplaceAllInLine(line, entry.search, entry.replacement));
            if (count > 0)
                logger.Log(LogLevelInfo, entry.replacedLine(count, filePath));
        }
        output.writeLine(line);
    }
    output.close();
}

// Puts the finished temporary file in the place of the edited file in one
// step, so that the edited file is either the old one or the new one. A
// read-only file is not replaced (Windows refuses that move; not every
// implementation of it does, so the rule is checked here).
void replaceOriginal(const std::wstring& filePath, const std::wstring& tempPath)
{
    const DWORD attributes = GetFileAttributesW(filePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw FileError("MoveFileExW", ERROR_ACCESS_DENIED);
    if (!MoveFileExW(tempPath.c_str(), filePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw FileError("MoveFileExW", GetLastError());
}
}

bool ReplaceFileVariables(ILogger& logger, const std::wstring& filePath, const std::wstring& entryList,
                          const std::wstring& attributeList, bool honourEscapes, bool debug)
{
    std::vector<ReplacementEntry> parsed;
    if (!ParseEntryList(logger, entryList, honourEscapes, parsed))
        return false;
    const std::vector<std::wstring> attributes = SplitAttributeList(attributeList);

    if (GetFileAttributesW(filePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        logger.Log(LogLevelError, PocoWrapper::format(L"ReplaceFileVariables: %s doesn't exist", filePath));
        return true;
    }

    std::vector<PreparedEntry> entries;
    for (size_t k = 0; k < parsed.size(); ++k)
        entries.push_back(PreparedEntry(parsed[k], EntryAttribute(attributes, k), debug));

    const std::wstring tempPath = filePath + L".tmp";
    try {
        replaceInLines(logger, filePath, tempPath, entries);
        replaceOriginal(filePath, tempPath);
    } catch (...) {
        logger.Log(LogLevelError,
                   PocoWrapper::format(L"ReplaceFileVariables: error reading from '%s' writing to '%s', aborting..",
                                       filePath, tempPath));
        DeleteFileW(tempPath.c_str());
        return false;
    }
    return true;
}
