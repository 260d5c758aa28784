#pragma once
// The wide-string layer over Poco: conversion between UTF-16 and UTF-8,
// formatting, trimming, lower-casing, replacing and number parsing.
#include <string>

#include <boost/shared_array.hpp>

#include <Poco/Any.h>

namespace PocoWrapper {

// A converted, null-terminated text; a null pointer means the conversion failed.
typedef boost::shared_array<char> Utf8Buffer;
typedef boost::shared_array<wchar_t> WideBuffer;

Utf8Buffer toUtf8Buffer(const wchar_t* text);
WideBuffer toWideBuffer(const char* text);
// The whole text by its length, NUL characters included. Ill-formed input
// (a sequence cut short, a byte that never occurs in UTF-8, a lone
// surrogate) becomes U+FFFD. A failed conversion gives the empty string.
std::string toUtf8(const std::wstring& text);
std::wstring toWide(const std::string& text);

// Poco::format on the UTF-8 form; std::wstring arguments are converted too.
// The one-argument form lets Poco::BadCastException through; the others log
// it to the install log and return the format string unformatted.
std::wstring format(const std::wstring& fmt, const Poco::Any& value);
std::wstring format(const std::wstring& fmt, const Poco::Any& value1, const Poco::Any& value2);
std::wstring format(const std::wstring& fmt, const Poco::Any& value1, const Poco::Any& value2,
                    const Poco::Any& value3, const Poco::Any& value4);

std::wstring trim(const std::wstring& text);
// Copy without leading and trailing blanks (U+0020 only; tabs stay).
std::wstring trimBlanks(const std::wstring& text);
std::wstring toLower(const std::wstring& text);

// Replaces every occurrence of from at or after start; replaced text is not
// searched again. An empty from fails a Poco assertion.
std::wstring& replaceInPlace(std::wstring& text, const std::wstring& from, const std::wstring& to,
                             std::wstring::size_type start = 0);
std::wstring& replaceInPlace(std::wstring& text, const wchar_t* from, const wchar_t* to,
                             std::wstring::size_type start = 0);

bool tryParseUnsigned(const std::wstring& text, unsigned& value);
// Poco::SyntaxException passes to the caller.
int parse(const std::wstring& text);
std::wstring formatNumber(int value);

} // namespace PocoWrapper
