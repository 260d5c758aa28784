#include "StringTokenizer.h"

#include "String.h"

namespace PocoWrapper {

StringTokenizer::StringTokenizer(const std::wstring& text, const std::wstring& separators, int options)
    : Poco::StringTokenizer(toUtf8(text), toUtf8(separators), options)
{
}

std::wstring StringTokenizer::operator[](std::size_t index) const
{
    return toWide(Poco::StringTokenizer::operator[](index));
}

} // namespace PocoWrapper
