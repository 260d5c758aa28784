#include "FormatterModel.h"

#include <Poco/Message.h>

#include "PocoWrapper/String.h"

namespace {
bool isIdentifierChar(wchar_t ch)
{
    return (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z') || (ch >= L'0' && ch <= L'9') || ch == L'.' ||
           ch == L'_' || ch == L' ';
}

const std::size_t kLineLimit = 200000;
}

FormatterModel::FormatterModel(const Strings& strings, bool loaded, std::size_t giveUpAfter)
    : m_strings(strings), m_loaded(loaded), m_giveUpAfter(giveUpAfter)
{
}

bool FormatterModel::Format(const std::wstring& text, std::wstring& result)
{
    m_lines.clear();
    result.clear();
    return format(text, 5, result);
}

bool FormatterModel::lookup(const std::wstring& id, std::wstring& text)
{
    if (!m_loaded) {
        ExpectedLine warning = { Poco::Message::PRIO_WARNING, "BasicStringLib: UI text not loaded." };
        m_lines.push_back(warning);
        return false;
    }
    const Strings::const_iterator found = m_strings.find(PocoWrapper::toLower(id));
    if (found == m_strings.end())
        return false;
    text = found->second;
    return true;
}

bool FormatterModel::format(const std::wstring& text, int depth, std::wstring& result)
{
    if (depth < 0) {
        ExpectedLine line = { Poco::Message::PRIO_ERROR,
                              "Error: " + PocoWrapper::toUtf8(
                                              L"DoBasicFormatString exceeded recursive depth with string: " + text) };
        m_lines.push_back(line);
        result += text;
        return result.size() <= m_giveUpAfter && m_lines.size() <= kLineLimit;
    }
    bool inside = false;
    std::wstring::size_type copied = 0;
    std::wstring::size_type opening = 0;
    for (std::wstring::size_type n = 0; n < text.size(); ++n) {
        const wchar_t c = text[n];
        if (!inside) {
            if (c == L'#') {
                result.append(text, copied, n - copied);
                inside = true;
                opening = copied = n;
            }
            continue;
        }
        if (c == L'#') {
            const std::wstring id = text.substr(opening + 1, n - opening - 1);
            std::wstring value;
            if (id.empty()) {
                result += L'#';
            } else if (lookup(id, value)) {
                if (!format(value, depth - 1, result))
                    return false;
            } else {
                const std::wstring token = text.substr(opening, n + 1 - opening);
                ExpectedLine line = { Poco::Message::PRIO_ERROR,
                                      "Error: " + PocoWrapper::toUtf8(L"Identifier not found in lookup: " + token) };
                m_lines.push_back(line);
                result += token;
            }
            inside = false;
            copied = n + 1;
        } else if (!isIdentifierChar(c)) {
            result.append(text, copied, n + 1 - copied);
            inside = false;
            copied = n + 1;
        }
        if (result.size() > m_giveUpAfter || m_lines.size() > kLineLimit)
            return false;
    }
    result.append(text, copied, std::wstring::npos);
    return result.size() <= m_giveUpAfter;
}
