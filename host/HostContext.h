#pragma once
#include <map>
#include <string>

#include "core/ActionContextBase.h"

#include "Output.h"
#include "PropertyExpansion.h"

// The action context the host hands to an action: arguments for this call,
// properties that live for the whole run, and every log line and property
// change sent to the output.
class HostContext : public ActionContextBase {
public:
    typedef PropertyValues Values;

    HostContext(RunOutput& output, Values& properties, const Values& arguments)
        : m_output(output), m_properties(properties), m_arguments(arguments)
    {
    }
    virtual ~HostContext() {}

    void Log(int level, const std::wstring& message);
    boost::shared_ptr<std::wstring> GetArg(const std::wstring& name);
    void SetProperty(const std::wstring& name, const std::wstring& value);
    std::wstring FormatString(const std::wstring& text, const std::wstring& second);

private:
    RunOutput& m_output;
    Values& m_properties;
    Values m_arguments;
};
