#include "CommandText.h"

#include <climits>
#include <sstream>

#include <Poco/StringTokenizer.h>

#include "PocoWrapper/String.h"
#include "PocoWrapper/StringTokenizer.h"
#include "core/CString.h"

bool StringToInt(const std::wstring& text, int& value)
{
    std::wistringstream stream(text);
    int number = 0;
    if (!(stream >> number))
        return false;
    value = number;
    return true;
}

bool ReadReturnCode(const std::wstring& entry, int& code)
{
    const std::wstring text = PocoWrapper::trimBlanks(entry);
    const bool negative = !text.empty() && text[0] == L'-';
    const std::wstring::size_type first = !text.empty() && (text[0] == L'-' || text[0] == L'+') ? 1 : 0;
    if (first == text.size())
        return false;
    // Accumulated as a negative number, whose range holds INT_MIN.
    long long value = 0;
    for (std::wstring::size_type i = first; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        value = value * 10 - (text[i] - L'0');
        if (value < INT_MIN)
            return false;
    }
    if (!negative && value == INT_MIN)
        return false;
    code = static_cast<int>(negative ? value : -value);
    return true;
}

bool IsYesWord(const std::wstring& value)
{
    const CString word(value);
    return word.CompareNoCase(L"true") == 0 || word.CompareNoCase(L"yes") == 0 || word.CompareNoCase(L"1") == 0;
}

std::vector<std::wstring> SplitTransactionKinds(const std::wstring& text)
{
    const PocoWrapper::StringTokenizer tokens(text, L"|", Poco::StringTokenizer::TOK_IGNORE_EMPTY);
    std::vector<std::wstring> kinds;
    for (std::size_t i = 0; i < tokens.count(); ++i)
        kinds.push_back(tokens[i]);
    return kinds;
}

std::vector<std::wstring> SplitCodeList(const std::wstring& text)
{
    std::vector<std::wstring> pieces;
    std::wstring::size_type start = 0;
    for (std::wstring::size_type end; (end = text.find(L';', start)) != std::wstring::npos; start = end + 1)
        pieces.push_back(PocoWrapper::trimBlanks(text.substr(start, end - start)));
    if (start < text.size())
        pieces.push_back(PocoWrapper::trimBlanks(text.substr(start)));
    return pieces;
}

bool ReadSuccessCodes(const std::wstring& text, std::vector<int>& codes)
{
    const std::vector<std::wstring> entries = SplitCodeList(text);
    std::vector<int> read;
    for (const std::wstring& entry : entries) {
        int code = 0;
        if (!ReadReturnCode(entry, code))
            return false;
        read.push_back(code);
    }
    if (read.empty())
        return false;
    codes.swap(read);
    return true;
}

bool SecretStandsUnquoted(const std::wstring& commandLine, const std::wstring& secret)
{
    if (secret.empty() || secret.find_first_of(L" \t;=,") == std::wstring::npos)
        return false;
    // quoted[i]: the character at i stands inside double quotes.
    std::vector<bool> quoted(commandLine.size(), false);
    bool inside = false;
    std::size_t backslashes = 0;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const wchar_t c = commandLine[i];
        if (c == L'"' && backslashes % 2 == 0)
            inside = !inside;
        else
            quoted[i] = inside;
        backslashes = c == L'\\' ? backslashes + 1 : 0;
    }
    for (std::size_t at = commandLine.find(secret); at != std::wstring::npos;
         at = commandLine.find(secret, at + 1)) {
        for (std::size_t i = at; i < at + secret.size(); ++i) {
            if (!quoted[i])
                return true;
        }
    }
    return false;
}
