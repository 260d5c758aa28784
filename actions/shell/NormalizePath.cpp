#include "NormalizePath.h"

#include <algorithm>
#include <vector>

std::wstring NormalizePath(const std::wstring& path)
{
    std::wstring text(path);
    std::replace(text.begin(), text.end(), L'\\', L'/');

    std::vector<std::wstring> pieces;
    std::wstring::size_type start = 0;
    while (start < text.size()) {
        std::wstring::size_type end = text.find(L'/', start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (pieces.empty())
        return text;

    const std::wstring::size_type leading = std::min(text.find_first_not_of(L'/'), text.size());
    std::wstring result(leading, L'/');
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            result += L'/';
        result += pieces[i];
    }
    return result;
}

std::wstring ToBackslashForm(const std::wstring& path)
{
    std::wstring text(path);
    std::replace(text.begin(), text.end(), L'/', L'\\');
    return text;
}
