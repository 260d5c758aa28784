#pragma once
// An action context for tests: serves arguments and properties and records
// every log line (with its level), property set and FormatString call.
#include <map>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "core/ActionContextBase.h"

struct LogLine {
    int level;
    std::wstring text;
};

class RecordingContext : public ActionContextBase {
public:
    typedef std::map<std::wstring, std::wstring> Values;

    RecordingContext() {}
    virtual ~RecordingContext() {}

    // Builds a context held the way the host holds one.
    static boost::shared_ptr<RecordingContext> Create(const Values& arguments = Values(),
                                                      const Values& properties = Values());

    void Log(int level, const std::wstring& message);
    boost::shared_ptr<std::wstring> GetArg(const std::wstring& name);
    void SetProperty(const std::wstring& name, const std::wstring& value);
    std::wstring FormatString(const std::wstring& text, const std::wstring& second);

    Values arguments;
    Values properties;
    std::vector<LogLine> lines;
    std::vector<std::pair<std::wstring, std::wstring> > propertiesSet;
    std::vector<std::wstring> argumentsRead;

    // The texts of the recorded lines, optionally only those of one level.
    std::vector<std::wstring> Texts(int level = 0) const;
    bool HasLine(const std::wstring& text, int level = 0) const;
    // The last value set for a property, or nothing.
    bool PropertySet(const std::wstring& name, std::wstring* value = 0) const;
};

typedef boost::shared_ptr<RecordingContext> RecordingContextPtr;
