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
    : m_strings(strings), m_loaded(loaded), m_giveUpAfter(giveUpAfter), m_lookups(0), m_outcome(Complete)
{
}

FormatterModel::Outcome FormatterModel::Format(const std::wstring& text, std::wstring& result)
{
    m_lines.clear();
    m_lookups = 0;
    m_outcome = Complete;
    result.clear();
    format(text, 5, result);
    return m_outcome;
}

bool FormatterModel::line(int priority, const std::string& text)
{
    if (m_lines.size() == kLineLimit) {
        m_outcome = TooManyLines;
        return false;
    }
    ExpectedLine added = { priority, text };
    m_lines.push_back(added);
    return true;
}

bool FormatterModel::lookup(const std::wstring& id, std::wstring& text)
{
    if (!m_loaded) {
        line(Poco::Message::PRIO_WARNING, "BasicStringLib: UI text not loaded.");
        return false;
    }
    const Strings::const_iterator found = m_strings.find(PocoWrapper::toLower(id));
    if (found == m_strings.end())
        return false;
    text = found->second;
    return true;
}

// False once the model gives up.
bool FormatterModel::format(const std::wstring& text, int depth, std::wstring& result)
{
    if (depth < 0) {
        result += text;
        return line(Poco::Message::PRIO_ERROR,
                    "Error: " + PocoWrapper::toUtf8(L"DoBasicFormatString exceeded recursive depth with string: " + text));
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
            } else if (++m_lookups > kFormattingLookupCap) {
                m_outcome = TooManyLookups;
                return false;
            } else if (lookup(id, value)) {
                if (!format(value, depth - 1, result))
                    return false;
            } else {
                const std::wstring token = text.substr(opening, n + 1 - opening);
                if (!line(Poco::Message::PRIO_ERROR,
                          "Error: " + PocoWrapper::toUtf8(L"Identifier not found in lookup: " + token)))
                    return false;
                result += token;
            }
            inside = false;
            copied = n + 1;
        } else if (!isIdentifierChar(c)) {
            result.append(text, copied, n + 1 - copied);
            inside = false;
            copied = n + 1;
        }
        if (result.size() > m_giveUpAfter) {
            m_outcome = TooLong;
            return false;
        }
        if (m_outcome != Complete)
            return false;
    }
    result.append(text, copied, std::wstring::npos);
    if (result.size() > m_giveUpAfter) {
        m_outcome = TooLong;
        return false;
    }
    return m_outcome == Complete;
}
