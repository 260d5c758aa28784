#include "Mossel.h"

#include <cwchar>

CString GetCStringArg(const boost::shared_ptr<IActionContext>& context, const std::wstring& name)
{
    boost::shared_ptr<std::wstring> value = context->GetArg(name);
    return value ? CString(*value) : CString();
}

void LogMessage(boost::shared_ptr<ILogger> logger, const CString& line)
{
    logger->Log(2, line.str());
}

CMsiLogMessage::CMsiLogMessage(boost::shared_ptr<ILogger> logger, const wchar_t* text) : m_logger(logger), m_text(text) {}

void CMsiLogMessage::Log(const wchar_t* line)
{
    if (!m_logger)
        return;
    // The prefix and the line in one allocation: a command's captured
    // output comes through here line by line.
    const std::size_t length = line ? std::wcslen(line) : 0;
    std::wstring text;
    text.reserve(m_text.str().size() + length);
    text.append(m_text.str()).append(line ? line : L"", length);
    m_logger->Log(2, text);
}
