// VerrandNsis.dll: Verrand's actions and plans for NSIS 3 Unicode
// installers. Every function takes its texts from the installer's stack and
// pushes one answer back:
//
//   VerrandNsis::Run ACTION [NAME=VALUE]... /END          pushes the status
//   VerrandNsis::Plan FILE [NAME=VALUE]... /END           pushes the status
//   VerrandNsis::GetProperty NAME                          pushes the value
//   VerrandNsis::SetProperty NAME VALUE                    pushes 0
//   VerrandNsis::Log FILE                                  pushes 0, or the error
//
// The properties live as long as the installer: every NAME=VALUE of a call
// and every property an action sets joins them, and later calls see them.
// Statuses are the host's: an action's own 0 or 1, 2 for a call that is
// wrong (no such action, a plan that cannot be read), 3 for an action that
// let an exception out. No exception leaves the plugin.
#include <exception>
#include <string>
#include <vector>

#include <windows.h>

#include <Poco/Exception.h>

#include "core/LogLevel.h"
#include "core/ScopedHandle.h"
#include "log/InstallLogRoute.h"

#include "host/ActionRunner.h"
#include "host/LineOutput.h"
#include "host/Output.h"
#include "host/Plan.h"
#include "host/UsageFailure.h"

#include "NsisOutput.h"
#include "NsisStack.h"
#include "PluginApi.h"

namespace {
// The export Plan hides the plan's type inside it.
typedef Plan ParsedPlan;
const int UsageStatus = 2;
const wchar_t* const kEnd = L"/END";

// What lives from call to call: the plugin stays loaded for the whole
// installer once it registered its callback.
struct PluginState {
    PropertyValues properties;
    ScopedHandle logFile;
};

PluginState& state()
{
    static PluginState* kept = new PluginState();
    return *kept;
}

HMODULE thisModule()
{
    HMODULE module = 0;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

UINT_PTR pluginMessage(NsisPluginMessage message)
{
    if (message == NsisPluginUnload)
        state().logFile.close();
    return 0;
}

void stayLoaded(NsisExtraParameters* extra)
{
    if (extra && extra->registerPluginCallback)
        extra->registerPluginCallback(thisModule(), &pluginMessage);
}

const ActionTable& compiledActions()
{
    static const ActionTable table(kCompiledActions, kCompiledActionCount);
    return table;
}

// NAME=VALUE texts into values (a later one wins); throws UsageFailure for
// one without '='.
void readPairs(const std::vector<std::wstring>& pairs, size_t from, PropertyValues& values)
{
    for (size_t i = from; i < pairs.size(); ++i) {
        const std::wstring::size_type equals = pairs[i].find(L'=');
        if (equals == std::wstring::npos)
            throw UsageFailure{ "argument without '=': " + utf8(pairs[i]) };
        values[pairs[i].substr(0, equals)] = pairs[i].substr(equals + 1);
    }
}

// Runs body (which gives a status) with the install log routed to the
// output; an exception becomes a line and a status.
template <class Body>
int guarded(NsisOutput& output, const std::wstring& what, Body body)
{
    std::wstring failure;
    try {
        InstallLogRoute route([&output](const std::wstring& line) { output.installLog(line); });
        return body();
    } catch (const UsageFailure& usage) {
        output.log(LogLevelError, what + L": " + wide(usage.message));
        return UsageStatus;
    } catch (const Poco::Exception& e) {
        failure = wide(e.displayText());
    } catch (const std::exception& e) {
        failure = wide(e.what());
    } catch (...) {
        failure = L"unknown exception";
    }
    output.log(LogLevelError, ExceptionLine(what, failure));
    return ActionThrewStatus;
}

// The common frame of Run and Plan: the texts up to /END, the status
// pushed. Nothing escapes: a failure even to report is status 3.
template <class Body>
void stackCall(HWND parent, int stringSize, NsisStackEntry** stackTop, NsisExtraParameters* extra,
               const wchar_t* name, Body body) throw()
{
    NsisStack stack(stackTop, stringSize);
    int status = ActionThrewStatus;
    try {
        stayLoaded(extra);
        const std::vector<std::wstring> texts = stack.popUntil(kEnd);
        NsisOutput output(parent, state().logFile.get());
        status = guarded(output, name, [&]() -> int {
            if (texts.empty())
                throw UsageFailure{ "nothing given before /END" };
            return body(texts, output);
        });
    } catch (...) {
    }
    try {
        stack.push(std::to_wstring(status));
    } catch (...) {
    }
}

// The frame of a call that only reads and writes the stack (properties,
// the log file); nothing escapes it.
template <class Body>
void stackOnlyCall(int stringSize, NsisStackEntry** stackTop, NsisExtraParameters* extra, Body body) throw()
{
    NsisStack stack(stackTop, stringSize);
    try {
        stayLoaded(extra);
        body(stack);
    } catch (...) {
    }
}
}

#define VERRAND_NSIS_FUNCTION(name)                                                                    \
    extern "C" void __cdecl name(HWND parent, int stringSize, wchar_t* variables, NsisStackEntry** stackTop, \
                                 NsisExtraParameters* extra)

VERRAND_NSIS_FUNCTION(Run)
{
    stackCall(parent, stringSize, stackTop, extra, L"VerrandNsis::Run",
              [](const std::vector<std::wstring>& texts, NsisOutput& output) {
                  PropertyValues arguments;
                  readPairs(texts, 1, arguments);
                  return RunAction(compiledActions(), texts[0], arguments, state().properties, output);
              });
}

VERRAND_NSIS_FUNCTION(Plan)
{
    stackCall(parent, stringSize, stackTop, extra, L"VerrandNsis::Plan",
              [](const std::vector<std::wstring>& texts, NsisOutput& output) {
                  readPairs(texts, 1, state().properties);
                  const ParsedPlan plan = ReadPlan(texts[0]);
                  return RunPlan(compiledActions(), plan, state().properties, output, 0, 0);
              });
}

VERRAND_NSIS_FUNCTION(GetProperty)
{
    stackOnlyCall(stringSize, stackTop, extra, [](NsisStack& stack) {
        std::wstring name;
        stack.pop(name);
        const PropertyValues::const_iterator found = state().properties.find(name);
        stack.push(found == state().properties.end() ? std::wstring() : found->second);
    });
}

VERRAND_NSIS_FUNCTION(SetProperty)
{
    stackOnlyCall(stringSize, stackTop, extra, [](NsisStack& stack) {
        std::wstring name, value;
        stack.pop(name);
        stack.pop(value);
        state().properties[name] = value;
        stack.push(L"0");
    });
}

// Every line from now on is also appended to FILE (UTF-8, CR LF); an empty
// name stops it. Pushes 0, or the Windows error that kept the file shut.
VERRAND_NSIS_FUNCTION(Log)
{
    stackOnlyCall(stringSize, stackTop, extra, [](NsisStack& stack) {
        std::wstring path;
        stack.pop(path);
        state().logFile.close();
        DWORD error = 0;
        if (!path.empty()) {
            state().logFile.reset(CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, 0));
            if (!state().logFile.valid())
                error = GetLastError();
        }
        stack.push(std::to_wstring(error));
    });
}
