#include "Mossel.h"

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
    if (m_logger)
        m_logger->Log(2, (m_text + line).str());
}
