#include "ReplacementAttributes.h"

#include <cwchar>

#include "PocoWrapper/String.h"

long ParseAttributeValue(const std::wstring& text)
{
    return std::wcstol(text.c_str(), 0, 10);
}

namespace {
std::wstring xmlEscaped(std::wstring text)
{
    PocoWrapper::replaceInPlace(text, L"&", L"&amp;");
    PocoWrapper::replaceInPlace(text, L"<", L"&lt;");
    PocoWrapper::replaceInPlace(text, L">", L"&gt;");
    PocoWrapper::replaceInPlace(text, L"'", L"&apos;");
    PocoWrapper::replaceInPlace(text, L"\"", L"&quot;");
    return text;
}
}

std::wstring PrepareReplacement(const std::wstring& replacement, long attributes)
{
    std::wstring text = replacement;
    if (attributes & AttributeDoubleApostrophes)
        PocoWrapper::replaceInPlace(text, L"'", L"''");
    if ((attributes & AttributeDropTrailingBackslash) && !text.empty() && text[text.size() - 1] == L'\\')
        text.erase(text.size() - 1);
    if (attributes & AttributeBackslashToSlash)
        PocoWrapper::replaceInPlace(text, L"\\", L"/");
    if (attributes & AttributeXmlEscape)
        text = xmlEscaped(text);
    return text;
}
