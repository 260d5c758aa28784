#pragma once
#include <string>

// The text with every control character shown escaped, so that a value
// printed on a line of its own cannot end that line or start one that looks
// like the host's: CR, LF and tab as \r, \n and \t, the other C0 controls and
// DEL as \xHH, the C1 controls (U+0080 to U+009F) as \u00HH. Everything
// else, backslashes included, stays as it is. text is UTF-8.
std::string EscapeControls(const std::string& text);
