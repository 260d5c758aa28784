#pragma once
// The replacement engine: streams a text file line by line into a temporary
// file beside it (the path with ".tmp" appended), replaces the entries of an
// entry list in every line, and puts the result in the place of the file.
#include <string>

#include "core/ILogger.h"

// True when the list was understood and the file was processed or does not
// exist; false on a list format error or when the edit was aborted, in
// which case the file is left as it was.
bool ReplaceFileVariables(ILogger& logger, const std::wstring& filePath, const std::wstring& entries,
                          const std::wstring& attributes, bool honourEscapes, bool debug);
