#pragma once
// The replacement engine: streams a text file line by line into a temporary
// file beside it (the path with ".tmp" appended), replaces the entries of an
// entry list in every line, and puts the result in the place of the file.
#include <string>

#include "core/ILogger.h"

class ContentHash;

// Puts a complete replacement in the place of the original, keeping the
// original for a rollback instead of letting it go. Throws FileError when
// it cannot; the original must then be in its place as it was.
class OriginalKeeper {
public:
    // `replacement` lies beside `original` with its security and
    // attributes; `written` is the hash of its bytes.
    virtual void replace(const std::wstring& original, const std::wstring& replacement,
                         const ContentHash& written) = 0;

protected:
    ~OriginalKeeper() {}
};

// True when the list was understood and the file was processed or does not
// exist; false on a list format error or when the edit was aborted, in
// which case the file is left as it was. Without a keeper the original is
// replaced and gone.
bool ReplaceFileVariables(ILogger& logger, const std::wstring& filePath, const std::wstring& entries,
                          const std::wstring& attributes, bool honourEscapes, bool debug,
                          OriginalKeeper* keeper = 0);

// The replacement takes the original's security (its owner and group where
// this process may set them, its DACL always) and its attributes. Throws
// FileError.
void KeepSecurityAndAttributes(const std::wstring& original, const std::wstring& replacement);
