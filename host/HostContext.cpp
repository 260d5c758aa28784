#include "HostContext.h"

void HostContext::Log(int level, const std::wstring& message)
{
    m_output.log(level, message);
}

boost::shared_ptr<std::wstring> HostContext::GetArg(const std::wstring& name)
{
    Values::const_iterator found = m_arguments.find(name);
    if (found != m_arguments.end())
        return boost::shared_ptr<std::wstring>(new std::wstring(found->second));
    found = m_properties.find(name);
    if (found != m_properties.end())
        return boost::shared_ptr<std::wstring>(new std::wstring(found->second));
    return boost::shared_ptr<std::wstring>(new std::wstring());
}

void HostContext::SetProperty(const std::wstring& name, const std::wstring& value)
{
    m_properties[name] = value;
    m_output.property(name, value);
}

std::wstring HostContext::FormatString(const std::wstring& text, const std::wstring&)
{
    return ExpandProperties(text, m_properties);
}
