// Values in the host's human output cannot end their line or forge one.
#include <gtest/gtest.h>

#include "host/TextEscape.h"

TEST(TextEscape, ControlCharactersAreShownEscaped)
{
    const struct {
        const char* why;
        std::string text;
        std::string shown;
    } rows[] = {
        { "line ends would start a line of their own", "a\r\n[error] forged", "a\\r\\n[error] forged" },
        { "a terminal escape would recolour or move", "\x1b[2Jx", "\\x1b[2Jx" },
        { "tab, NUL and DEL", std::string("\t\0\x7f", 3), "\\t\\x00\\x7f" },
        { "C1 controls (NEL, CSI) act as controls too", "\xc2\x85\xc2\x9b", "\\u0085\\u009b" },
        { "printable text stays, backslashes and accents too", "C:\\dir\\\xc3\xa9\xc2\xa0", "C:\\dir\\\xc3\xa9\xc2\xa0" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.shown, EscapeControls(row.text)) << row.why;
}
