#include "TrueFalseWords.h"

#include "PocoWrapper/String.h"

namespace {
std::wstring normalised(const std::wstring& value)
{
    return PocoWrapper::toLower(PocoWrapper::trim(value));
}
}

bool IsTrueWord(const std::wstring& value)
{
    const std::wstring word = normalised(value);
    return word == L"true" || word == L"yes" || word == L"on" || word == L"1";
}

bool IsFalseWord(const std::wstring& value)
{
    const std::wstring word = normalised(value);
    return word == L"false" || word == L"no" || word == L"off" || word == L"0";
}
