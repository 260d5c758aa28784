#include "String.h"

#include "CaseFolding.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <vector>

#include <windows.h>

#include <Poco/Bugcheck.h>
#include <Poco/Exception.h>
#include <Poco/Format.h>
#include <Poco/NumberFormatter.h>
#include <Poco/NumberParser.h>
#include <Poco/UTF8String.h>
#include <Poco/Unicode.h>

#include "log/InstallLog.h"

namespace PocoWrapper {

namespace {
// Every conversion is told the exact length of its input and takes the exact
// length of its output: a converter that reads past a sequence cut short
// (Wine counts a terminating NUL into an unfinished UTF-8 sequence) can then
// neither swallow a terminator nor leave the result unterminated. False when
// the converter gives nothing for a text that is not empty.
bool convert(const wchar_t* text, size_t length, std::string& result)
{
    result.clear();
    if (length == 0)
        return true;
    const int count = static_cast<int>(length);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, count, 0, 0, 0, 0);
    if (size <= 0)
        return false;
    result.resize(size);
    const int written = WideCharToMultiByte(CP_UTF8, 0, text, count, &result[0], size, 0, 0);
    result.resize(written > 0 ? written : 0);
    return written > 0;
}

bool convert(const char* text, size_t length, std::wstring& result)
{
    result.clear();
    if (length == 0)
        return true;
    const int count = static_cast<int>(length);
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, count, 0, 0);
    if (size <= 0)
        return false;
    result.resize(size);
    const int written = MultiByteToWideChar(CP_UTF8, 0, text, count, &result[0], size);
    result.resize(written > 0 ? written : 0);
    return written > 0;
}

// The converted text in a new array with one terminator after it; null when
// there is no text or it cannot be converted.
template <typename To, typename From>
boost::shared_array<To> terminatedCopy(const From* text, size_t length)
{
    std::basic_string<To> converted;
    if (!text || !convert(text, length, converted))
        return boost::shared_array<To>();
    boost::shared_array<To> buffer(new To[converted.size() + 1]);
    std::copy(converted.begin(), converted.end(), buffer.get());
    buffer[converted.size()] = To();
    return buffer;
}
}

Utf8Buffer toUtf8Buffer(const wchar_t* text)
{
    return terminatedCopy<char>(text, text ? std::wcslen(text) : 0);
}

WideBuffer toWideBuffer(const char* text)
{
    return terminatedCopy<wchar_t>(text, text ? std::strlen(text) : 0);
}

std::string toUtf8(const std::wstring& text)
{
    std::string result;
    convert(text.data(), text.size(), result);
    return result;
}

std::wstring toWide(const std::string& text)
{
    std::wstring result;
    convert(text.data(), text.size(), result);
    return result;
}

namespace {
Poco::Any narrowed(const Poco::Any& value)
{
    if (value.type() == typeid(std::wstring))
        return Poco::Any(toUtf8(Poco::AnyCast<std::wstring>(value)));
    if (value.type() == typeid(char*))
        return Poco::Any(std::string(Poco::AnyCast<char*>(value)));
    if (value.type() == typeid(const char*))
        return Poco::Any(std::string(Poco::AnyCast<const char*>(value)));
    return value;
}

size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (std::string::size_type at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// Poco writes this marker where a placeholder does not fit its argument,
// instead of letting its Poco::BadCastException out.
const std::string kMismatchMarker = "[ERRFMT]";

// Throws Poco::BadCastException when the formatted text holds more markers
// than the format and the text arguments brought in: a placeholder did not
// fit its argument.
void checkPlaceholdersFit(const std::string& fmt, const std::vector<Poco::Any>& values, const std::string& result)
{
    size_t brought = countOf(fmt, kMismatchMarker);
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i].type() == typeid(std::string))
            brought += countOf(Poco::RefAnyCast<std::string>(values[i]), kMismatchMarker);
    }
    if (countOf(result, kMismatchMarker) > brought)
        throw Poco::BadCastException("a placeholder does not fit its argument in \"" + fmt + "\"");
}

std::wstring formatValues(const std::wstring& fmt, const std::vector<Poco::Any>& values)
{
    std::vector<Poco::Any> normalised;
    for (size_t i = 0; i < values.size(); ++i)
        normalised.push_back(narrowed(values[i]));
    const std::string narrowFormat = toUtf8(fmt);
    std::string result;
    Poco::format(result, narrowFormat, normalised);
    checkPlaceholdersFit(narrowFormat, normalised, result);
    return toWide(result);
}

std::wstring formatOrFallBack(const std::wstring& fmt, const std::vector<Poco::Any>& values)
{
    try {
        return formatValues(fmt, values);
    } catch (const Poco::BadCastException& e) {
        if (e.what())
            InstallLog::Error(std::string(e.what()));
        InstallLog::Error(e.message());
        return fmt;
    }
}
}

std::wstring format(const std::wstring& fmt, const Poco::Any& value)
{
    return formatValues(fmt, std::vector<Poco::Any>(1, value));
}

std::wstring format(const std::wstring& fmt, const Poco::Any& value1, const Poco::Any& value2)
{
    std::vector<Poco::Any> values;
    values.push_back(value1);
    values.push_back(value2);
    return formatOrFallBack(fmt, values);
}

std::wstring format(const std::wstring& fmt, const Poco::Any& value1, const Poco::Any& value2,
                    const Poco::Any& value3, const Poco::Any& value4)
{
    std::vector<Poco::Any> values;
    values.push_back(value1);
    values.push_back(value2);
    values.push_back(value3);
    values.push_back(value4);
    return formatOrFallBack(fmt, values);
}

namespace {
// The C runtime's single-byte white-space set.
bool isSpace(wchar_t ch)
{
    return ch == L' ' || ch == L'\t' || ch == L'\n' || ch == L'\v' || ch == L'\f' || ch == L'\r';
}
}

std::wstring trim(const std::wstring& text)
{
    std::wstring::size_type first = 0;
    while (first < text.size() && isSpace(text[first]))
        ++first;
    std::wstring::size_type last = text.size();
    while (last > first && isSpace(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::wstring trimBlanks(const std::wstring& text)
{
    const std::wstring::size_type first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

namespace {
// Lower-casing as Poco's Unicode tables do it, on the text's UTF-8 form.
std::wstring toLowerThroughUtf8(const std::wstring& text)
{
    return toWide(Poco::UTF8::toLower(toUtf8(text)));
}
}

void lowerInPlace(std::wstring& text)
{
    // A surrogate or a NUL, which the conversions treat in their own ways,
    // sends the text the long way. Otherwise the same tables fold one unit
    // at a time, without the round trip: ASCII letters directly, the other
    // characters of the Basic Multilingual Plane through the table (which
    // folds each of them into the plane again).
    for (wchar_t unit : text) {
        if (unit == 0 || (unit >= 0xD800 && unit <= 0xDFFF)) {
            text = toLowerThroughUtf8(text);
            return;
        }
    }
    for (wchar_t& unit : text) {
        if (unit < 0x80) {
            if (unit >= L'A' && unit <= L'Z')
                unit = static_cast<wchar_t>(unit + (L'a' - L'A'));
        } else {
            unit = static_cast<wchar_t>(Poco::Unicode::toLower(unit));
        }
    }
}

std::wstring toLower(const std::wstring& text)
{
    std::wstring result(text);
    lowerInPlace(result);
    return result;
}

namespace {
// The empty-search assertions name this source by its short name and fixed
// lines, so their reports do not depend on where the tree was built.
const char* const kAssertionSource = "PocoWrapper\\String";
const int kWideFromAssertionLine = 272;
const int kPointerFromAssertionLine = 296;
}

std::wstring& replaceInPlace(std::wstring& text, const std::wstring& from, const std::wstring& to,
                             std::wstring::size_type start)
{
    if (!(from.size() > 0))
        Poco::Bugcheck::assertion("from.size() > 0", kAssertionSource, kWideFromAssertionLine);
    std::wstring result(text, 0, start);
    std::wstring::size_type pos = start;
    for (;;) {
        const std::wstring::size_type hit = text.find(from, pos);
        if (hit == std::wstring::npos) {
            if (pos < text.size())
                result.append(text, pos, std::wstring::npos);
            break;
        }
        result.append(text, pos, hit - pos);
        result += to;
        pos = hit + from.size();
    }
    text.swap(result);
    return text;
}

std::wstring& replaceInPlace(std::wstring& text, const wchar_t* from, const wchar_t* to,
                             std::wstring::size_type start)
{
    if (!from || !*from)
        Poco::Bugcheck::assertion("*from", kAssertionSource, kPointerFromAssertionLine);
    return replaceInPlace(text, std::wstring(from), std::wstring(to ? to : L""), start);
}

bool tryParseUnsigned(const std::wstring& text, unsigned& value)
{
    return Poco::NumberParser::tryParseUnsigned(toUtf8(text), value);
}

int parse(const std::wstring& text)
{
    return Poco::NumberParser::parse(toUtf8(text));
}

std::wstring formatNumber(int value)
{
    return toWide(Poco::NumberFormatter::format(value));
}

} // namespace PocoWrapper
