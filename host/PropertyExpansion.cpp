#include "PropertyExpansion.h"

std::wstring ExpandProperties(const std::wstring& text, const PropertyValues& properties, UnknownReferences unknown)
{
    std::wstring result;
    std::wstring::size_type pos = 0;
    for (;;) {
        const std::wstring::size_type open = text.find(L'[', pos);
        const std::wstring::size_type close = open == std::wstring::npos ? open : text.find(L']', open + 1);
        if (close == std::wstring::npos) {
            result.append(text, pos, std::wstring::npos);
            return result;
        }
        result.append(text, pos, open - pos);
        PropertyValues::const_iterator found = properties.find(text.substr(open + 1, close - open - 1));
        if (found != properties.end())
            result += found->second;
        else if (unknown == KeepUnknownReferences)
            result.append(text, open, close - open + 1);
        pos = close + 1;
    }
}
