#pragma once
// An action context for benchmarks: serves fixed arguments, keeps properties
// and counts log lines without printing them, so output does not weigh on
// the figures.
#include <map>
#include <string>

#include "core/ActionContextBase.h"

class QuietContext : public ActionContextBase {
public:
    typedef std::map<std::wstring, std::wstring> Values;

    explicit QuietContext(const Values& arguments) : arguments(arguments), lines(0) {}
    virtual ~QuietContext() {}

    void Log(int, const std::wstring&) { ++lines; }
    boost::shared_ptr<std::wstring> GetArg(const std::wstring& name)
    {
        Values::const_iterator found = arguments.find(name);
        if (found == arguments.end())
            found = properties.find(name);
        return boost::shared_ptr<std::wstring>(new std::wstring(found == properties.end() ? L"" : found->second));
    }
    void SetProperty(const std::wstring& name, const std::wstring& value) { properties[name] = value; }
    std::wstring FormatString(const std::wstring& text, const std::wstring&) { return text; }

    Values arguments;
    Values properties;
    long lines;
};
