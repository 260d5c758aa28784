// verrand-host: loads Verrand.dll (or another action library) and runs one
// action or a JSON plan of actions, printing what the actions log.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>
#include <shellapi.h>

#include <nlohmann/json.hpp>

#include <Poco/Exception.h>

#include "ExportList.h"
#include "HostContext.h"
#include "Output.h"

namespace {
typedef int(__stdcall* ActionFunction)(boost::shared_ptr<IActionContext>);

enum ExitStatus {
    UsageError = 2,
    ActionThrew = 3,
};

struct UsageFailure {
    std::string message;
};

const char* const kUsage =
    "usage: verrand-host [--dll PATH] [--json] [--prop NAME=VALUE]... run ACTION [NAME=VALUE]...\n"
    "       verrand-host [--dll PATH] [--json] [--prop NAME=VALUE]... plan FILE\n"
    "       verrand-host [--dll PATH] list";

struct Options {
    std::wstring dll = L"Verrand.dll";
    bool json = false;
    HostContext::Values properties;
    std::string command;
    std::vector<std::wstring> rest;
};

void splitPair(const std::wstring& text, HostContext::Values& into)
{
    const std::wstring::size_type equals = text.find(L'=');
    if (equals == std::wstring::npos)
        throw UsageFailure{ "argument without '=': " + utf8(text) };
    into[text.substr(0, equals)] = text.substr(equals + 1);
}

Options parseCommandLine(const std::vector<std::wstring>& args)
{
    Options options;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--json") {
            options.json = true;
        } else if (arg == L"--dll" || arg == L"--prop") {
            if (i + 1 >= args.size())
                throw UsageFailure{ utf8(arg) + " needs a value" };
            if (arg == L"--dll")
                options.dll = args[++i];
            else
                splitPair(args[++i], options.properties);
        } else if (arg.compare(0, 2, L"--") == 0) {
            throw UsageFailure{ "unknown option " + utf8(arg) };
        } else {
            break;
        }
    }
    if (i >= args.size())
        throw UsageFailure{ std::string("no command given\n") + kUsage };
    options.command = utf8(args[i]);
    options.rest.assign(args.begin() + i + 1, args.end());
    return options;
}

class Library {
public:
    explicit Library(const std::wstring& path) : m_module(LoadLibraryW(path.c_str()))
    {
        if (!m_module)
            throw UsageFailure{ "cannot load " + utf8(path) + " (error " + std::to_string(GetLastError()) + ")" };
    }
    ~Library() { FreeLibrary(m_module); }
    HMODULE module() const { return m_module; }

    ActionFunction action(const std::wstring& name) const
    {
        ActionFunction function = reinterpret_cast<ActionFunction>(GetProcAddress(m_module, utf8(name).c_str()));
        if (!function)
            throw UsageFailure{ "the library does not export the action " + utf8(name) };
        return function;
    }

private:
    Library(const Library&);
    HMODULE m_module;
};

// Runs one action; the status, or ActionThrew when it let an exception out.
int runAction(const Library& library, const std::wstring& name, const HostContext::Values& arguments,
              HostContext::Values& properties, Output& output)
{
    ActionFunction function = library.action(name);
    boost::shared_ptr<IActionContext> context(new HostContext(output, properties, arguments));
    try {
        const int status = function(context);
        output.result(name, status);
        return status;
    } catch (const Poco::Exception& e) {
        output.exception(name, e.displayText());
    } catch (const std::exception& e) {
        output.exception(name, e.what());
    } catch (...) {
        output.exception(name, "unknown exception");
    }
    return ActionThrew;
}

std::wstring jsonText(const nlohmann::json& value)
{
    return wide(value.is_string() ? value.get<std::string>() : value.dump());
}

HostContext::Values jsonValues(const nlohmann::json& object, const std::string& what)
{
    HostContext::Values values;
    if (object.is_null())
        return values;
    if (!object.is_object())
        throw UsageFailure{ "plan: " + what + " must be an object" };
    for (nlohmann::json::const_iterator it = object.begin(); it != object.end(); ++it)
        values[wide(it.key())] = jsonText(it.value());
    return values;
}

struct PlanStep {
    std::wstring action;
    HostContext::Values arguments;
};

struct Plan {
    HostContext::Values properties;
    std::vector<PlanStep> steps;
};

Plan readPlan(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file)
        throw UsageFailure{ "cannot read plan " + utf8(path) };
    std::stringstream content;
    content << file.rdbuf();
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(content.str());
    } catch (const nlohmann::json::parse_error& e) {
        throw UsageFailure{ "plan " + utf8(path) + ": " + e.what() };
    }
    if (!document.is_object())
        throw UsageFailure{ "plan " + utf8(path) + ": the plan must be a JSON object" };
    Plan plan;
    plan.properties = jsonValues(document.value("properties", nlohmann::json()), "properties");
    const nlohmann::json steps = document.value("steps", nlohmann::json::array());
    if (!steps.is_array())
        throw UsageFailure{ "plan " + utf8(path) + ": steps must be an array" };
    for (const nlohmann::json& step : steps) {
        if (!step.is_object() || !step.contains("action") || !step["action"].is_string())
            throw UsageFailure{ "plan " + utf8(path) + ": every step needs an \"action\" text" };
        plan.steps.push_back(PlanStep{ wide(step["action"].get<std::string>()),
                                       jsonValues(step.value("args", nlohmann::json()), "args") });
    }
    return plan;
}

int runPlan(const Library& library, const Plan& plan, HostContext::Values& properties, Output& output)
{
    for (HostContext::Values::const_iterator it = plan.properties.begin(); it != plan.properties.end(); ++it)
        properties.insert(*it);
    for (size_t i = 0; i < plan.steps.size(); ++i)
        library.action(plan.steps[i].action); // every action must exist before the first runs
    for (size_t i = 0; i < plan.steps.size(); ++i) {
        const PlanStep& step = plan.steps[i];
        output.note("== step " + std::to_string(i + 1) + " of " + std::to_string(plan.steps.size()) + ": " +
                    utf8(step.action));
        const int status = runAction(library, step.action, step.arguments, properties, output);
        if (status != 0)
            return status;
    }
    return 0;
}

int run(const std::vector<std::wstring>& args)
{
    Options options = parseCommandLine(args);
    Output output(options.json);
    if (options.command == "list") {
        Library library(options.dll);
        for (const std::string& name : PlainExportNames(library.module()))
            std::printf("%s\n", name.c_str());
        return 0;
    }
    if (options.command == "run") {
        if (options.rest.empty())
            throw UsageFailure{ "run needs an action name" };
        HostContext::Values arguments;
        for (size_t i = 1; i < options.rest.size(); ++i)
            splitPair(options.rest[i], arguments);
        Library library(options.dll);
        return runAction(library, options.rest[0], arguments, options.properties, output);
    }
    if (options.command == "plan") {
        if (options.rest.size() != 1)
            throw UsageFailure{ "plan needs exactly one file" };
        Plan plan = readPlan(options.rest[0]);
        Library library(options.dll);
        return runPlan(library, plan, options.properties, output);
    }
    throw UsageFailure{ "unknown command " + options.command };
}
}

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    LocalFree(argv);
    try {
        return run(args);
    } catch (const UsageFailure& failure) {
        Output::error(failure.message);
        return UsageError;
    }
}
