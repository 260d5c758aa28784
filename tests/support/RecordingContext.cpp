#include "RecordingContext.h"

#include "host/PropertyExpansion.h"

boost::shared_ptr<RecordingContext> RecordingContext::Create(const Values& arguments, const Values& properties)
{
    boost::shared_ptr<RecordingContext> context(new RecordingContext);
    context->arguments = arguments;
    context->properties = properties;
    return context;
}

void RecordingContext::Log(int level, const std::wstring& message)
{
    LogLine line = { level, message };
    lines.push_back(line);
}

boost::shared_ptr<std::wstring> RecordingContext::GetArg(const std::wstring& name)
{
    argumentsRead.push_back(name);
    Values::const_iterator found = arguments.find(name);
    if (found == arguments.end())
        found = properties.find(name);
    return boost::shared_ptr<std::wstring>(new std::wstring(found == properties.end() ? L"" : found->second));
}

void RecordingContext::SetProperty(const std::wstring& name, const std::wstring& value)
{
    properties[name] = value;
    propertiesSet.push_back(std::make_pair(name, value));
}

std::wstring RecordingContext::FormatString(const std::wstring& text, const std::wstring&)
{
    return ExpandProperties(text, properties);
}

std::vector<std::wstring> RecordingContext::Texts(int level) const
{
    std::vector<std::wstring> texts;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (level == 0 || lines[i].level == level)
            texts.push_back(lines[i].text);
    }
    return texts;
}

bool RecordingContext::HasLine(const std::wstring& text, int level) const
{
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text == text && (level == 0 || lines[i].level == level))
            return true;
    }
    return false;
}

bool RecordingContext::PropertySet(const std::wstring& name, std::wstring* value) const
{
    for (size_t i = propertiesSet.size(); i-- > 0;) {
        if (propertiesSet[i].first == name) {
            if (value)
                *value = propertiesSet[i].second;
            return true;
        }
    }
    return false;
}
