#pragma once
// Poco::StringTokenizer on wide strings: the text and the separators are
// converted to UTF-8, the tokens back to UTF-16.
#include <cstddef>
#include <string>

#include <Poco/StringTokenizer.h>

namespace PocoWrapper {

class StringTokenizer : public Poco::StringTokenizer {
public:
    // options: Poco::StringTokenizer::TOK_IGNORE_EMPTY, TOK_TRIM.
    StringTokenizer(const std::wstring& text, const std::wstring& separators, int options = 0);

    std::wstring operator[](std::size_t index) const;
};

} // namespace PocoWrapper
