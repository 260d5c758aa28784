#pragma once
// The strings of a uitext file written plainly, read in one pass over its
// bytes without a parse tree: what nearly every uitext file is. The file's
// pages are given back as the pass leaves them behind, so a large file never
// lies in memory whole beside its strings.
#include <string>
#include <vector>

#include "StringMap.h"

class FileBytes;

// An install-log line the load is to write, in order.
struct UiTextLine {
    bool error; // else a debug line
    std::string text;
};

// Reads the file's strings into `strings` and the lines the load writes into
// `lines`, exactly as the parse tree would give them, and is true when the
// file is well formed XML of the plain shape: a byte-order mark, an XML
// declaration, processing instructions, comments and white space between
// the elements; one `uitext` element whose `language`, `context` and other
// elements hold nothing but such, and whose `context` elements hold only
// `string` and other such elements; entity and character references in
// attribute values. It is false for anything else, and for a file the load
// turns down (a missing attribute, another language), and then leaves
// `strings` and `lines` to be thrown away: the parse tree is to read the
// file, and says why. Pages of `bytes` may be given back either way.
bool ReadPlainUiText(FileBytes& bytes, const std::wstring& language, StringMap& strings,
                     std::vector<UiTextLine>& lines);
