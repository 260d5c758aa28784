#include "TextEscape.h"

#include <cstdio>

std::string EscapeControls(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    char hex[8];
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            result += "\\r";
        } else if (c == '\n') {
            result += "\\n";
        } else if (c == '\t') {
            result += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof(hex), "\\x%02x", c);
            result += hex;
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080..U+009F: in UTF-8 0xC2 followed by the code's low byte.
            std::snprintf(hex, sizeof(hex), "\\u%04x", static_cast<unsigned char>(text[++i]));
            result += hex;
        } else {
            result += static_cast<char>(c);
        }
    }
    return result;
}
