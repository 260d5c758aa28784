// Verrand.dll's C interface (include/verrand/verrand.h): actions and plans
// for callers that are no g++ program. Nothing but a status leaves these
// functions: every exception ends as VERRAND_CRASHED and a level-4 line.
#define VERRAND_C_API
#include "include/verrand/verrand.h"

#include <exception>
#include <string>
#include <vector>

#include <Poco/Exception.h>

#include "core/ActionCatalogue.h"
#include "core/ActionContextBase.h"
#include "core/LogLevel.h"
#include "log/InstallLogRoute.h"

#include "host/ActionRunner.h"
#include "host/LineOutput.h"
#include "host/Plan.h"
#include "host/UsageFailure.h"

namespace {
// A value the host answers into a buffer: its length says whether the
// buffer held all of it. A value that keeps growing between the calls
// counts as absent after a few.
typedef int(VERRAND_CALL* BufferAnswer)(void* user, const wchar_t* question, wchar_t* buffer, int capacity);

bool askHost(BufferAnswer answer, void* user, const std::wstring& question, std::wstring& value)
{
    if (!answer)
        return false;
    std::vector<wchar_t> buffer(256);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int length = answer(user, question.c_str(), &buffer[0], static_cast<int>(buffer.size()));
        if (length < 0)
            return false;
        if (static_cast<size_t>(length) <= buffer.size()) {
            value.assign(&buffer[0], length);
            return true;
        }
        buffer.resize(length);
    }
    return false;
}

// The caller's callbacks as lines.
class CallbackOutput : public LineOutput {
public:
    explicit CallbackOutput(const VerrandHost& host) : m_host(host) {}

protected:
    void writeLine(int level, const std::wstring& text) { m_host.log(m_host.user, level, text.c_str()); }
    void writeProperty(const std::wstring& name, const std::wstring& value)
    {
        if (m_host.setProperty)
            m_host.setProperty(m_host.user, name.c_str(), value.c_str());
    }
    void writeInstallLog(const std::wstring& text)
    {
        if (m_host.installLog)
            m_host.installLog(m_host.user, text.c_str());
    }

private:
    const VerrandHost& m_host;
};

// One action's context: the call's arguments, then the host's properties.
class CallbackContext : public ActionContextBase {
public:
    CallbackContext(const VerrandHost& host, const PropertyValues& arguments, LineOutput& output)
        : m_host(host), m_arguments(arguments), m_output(output)
    {
    }

    void Log(int level, const std::wstring& message) { m_output.log(level, message); }
    boost::shared_ptr<std::wstring> GetArg(const std::wstring& name)
    {
        boost::shared_ptr<std::wstring> value(new std::wstring());
        PropertyValues::const_iterator found = m_arguments.find(name);
        if (found != m_arguments.end())
            *value = found->second;
        else
            askHost(m_host.getProperty, m_host.user, name, *value);
        return value;
    }
    void SetProperty(const std::wstring& name, const std::wstring& value) { m_output.property(name, value); }
    std::wstring FormatString(const std::wstring& text, const std::wstring&)
    {
        std::wstring formatted;
        return askHost(m_host.format, m_host.user, text, formatted) ? formatted : text;
    }

private:
    const VerrandHost& m_host;
    PropertyValues m_arguments;
    LineOutput& m_output;
};

// NAME=VALUE texts; throws UsageFailure for one without '='.
PropertyValues readPairs(const wchar_t* const* pairs, int count)
{
    PropertyValues values;
    if (count > 0 && !pairs)
        throw UsageFailure{ "no arguments where " + std::to_string(count) + " were announced" };
    for (int i = 0; i < count; ++i) {
        const std::wstring pair = pairs[i] ? pairs[i] : L"";
        const std::wstring::size_type equals = pair.find(L'=');
        if (equals == std::wstring::npos)
            throw UsageFailure{ "argument without '=': " + utf8(pair) };
        values[pair.substr(0, equals)] = pair.substr(equals + 1);
    }
    return values;
}

bool usable(const VerrandHost* host)
{
    return host && host->size >= sizeof(VerrandHost) && host->log;
}

const ActionTable& compiledActions()
{
    static const ActionTable table(kCompiledActions, kCompiledActionCount);
    return table;
}

// Runs body, which returns a status; what it lets out becomes a line and a
// status.
template <class Body>
int guarded(const VerrandHost* host, const wchar_t* what, Body body) throw()
{
    if (!usable(host))
        return VERRAND_USAGE;
    std::wstring failure;
    try {
        return body();
    } catch (const UsageFailure& usage) {
        try {
            host->log(host->user, LogLevelError, (std::wstring(what) + L": " + wide(usage.message)).c_str());
        } catch (...) {
        }
        return VERRAND_USAGE;
    } catch (const Poco::Exception& e) {
        try {
            failure = wide(e.displayText());
        } catch (...) {
        }
    } catch (const std::exception& e) {
        try {
            failure = wide(e.what());
        } catch (...) {
        }
    } catch (...) {
        failure = L"unknown exception";
    }
    try {
        host->log(host->user, LogLevelError, ExceptionLine(what, failure).c_str());
    } catch (...) {
    }
    return VERRAND_CRASHED;
}
}

extern "C" int VERRAND_CALL VerrandRunAction(const wchar_t* action, const wchar_t* const* arguments, int count,
                                             const VerrandHost* host)
{
    return guarded(host, action ? action : L"VerrandRunAction", [&]() -> int {
        if (!action)
            throw UsageFailure{ "no action named" };
        const PropertyValues values = readPairs(arguments, count);
        ActionFunction function = compiledActions().action(action);
        CallbackOutput output(*host);
        boost::shared_ptr<IActionContext> context(new CallbackContext(*host, values, output));
        output.secrets().LearnFrom(*context);
        InstallLogRoute route([&output](const std::wstring& line) { output.installLog(line); });
        std::string thrown;
        bool threw = false;
        const int status = CallAction(function, context, thrown, threw);
        if (threw)
            output.exception(action, thrown);
        return status;
    });
}

extern "C" int VERRAND_CALL VerrandRunPlan(const wchar_t* planFile, const wchar_t* const* properties, int count,
                                           const VerrandHost* host)
{
    return guarded(host, L"VerrandRunPlan", [&]() -> int {
        if (!planFile)
            throw UsageFailure{ "no plan file named" };
        PropertyValues values = readPairs(properties, count);
        const Plan plan = ReadPlan(planFile);
        CallbackOutput output(*host);
        InstallLogRoute route([&output](const std::wstring& line) { output.installLog(line); });
        return RunPlan(compiledActions(), plan, values, output, 0, 0);
    });
}

extern "C" int VERRAND_CALL VerrandActionCount(void)
{
    return static_cast<int>(kCompiledActionCount);
}

extern "C" int VERRAND_CALL VerrandActionAt(int index, VerrandActionInfo* info)
{
    if (!info || index < 0 || static_cast<size_t>(index) >= kCompiledActionCount)
        return VERRAND_USAGE;
    // What an action is comes from the catalogue, the one place that says it.
    const ActionFacts* facts = FindActionFacts(kCompiledActions[index].name);
    info->name = kCompiledActions[index].name;
    info->sentence = facts ? facts->sentence : L"";
    info->twin = facts ? facts->twin : L"";
    return VERRAND_DONE;
}
