// verrand-host: loads Verrand.dll (or another action library) and runs one
// action or a JSON plan of actions, printing what the actions log.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <shellapi.h>

#include "ActionRunner.h"
#include "ChildOutput.h"
#include "HostContext.h"
#include "InstallLogOutput.h"
#include "MsiCommand.h"
#include "Output.h"
#include "PackageDatabase.h"
#include "Interruption.h"
#include "Plan.h"
#include "ProcessJob.h"
#include "ReferenceCommands.h"
#include "UsageFailure.h"

namespace {
const int UsageErrorStatus = 2;

const char* const kUsage =
    "usage: verrand-host [--dll PATH] [--json] [--install-log FILE] [--prop NAME=VALUE]... run ACTION [NAME=VALUE]...\n"
    "       verrand-host [--dll PATH] [--json] [--install-log FILE] [--prop NAME=VALUE]... plan FILE\n"
    "       verrand-host [--dll PATH] list\n"
    "       verrand-host msi --install PLAN [--remove PLAN] [--ca PATH] IN.msi OUT.msi\n"
    "       verrand-host help ACTION\n"
    "       verrand-host --version";

#if defined(_WIN64)
const char* const kArchitecture = "x86_64";
#else
const char* const kArchitecture = "i686";
#endif

struct Options {
    std::wstring dll = L"Verrand.dll";
    bool json = false;
    std::wstring installLogFile;
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
        } else if (arg == L"--dll" || arg == L"--prop" || arg == L"--install-log") {
            if (i + 1 >= args.size())
                throw UsageFailure{ utf8(arg) + " needs a value" };
            if (arg == L"--dll")
                options.dll = args[++i];
            else if (arg == L"--install-log")
                options.installLogFile = args[++i];
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

int run(const std::vector<std::wstring>& args)
{
    if (args.size() == 1 && args[0] == L"--version") {
        std::printf("verrand-host %s (%s)\n", VERRAND_VERSION, kArchitecture);
        return 0;
    }
    Options options = parseCommandLine(args);
    Output output(options.json);
    if (options.command == "list") {
        ActionLibrary library(options.dll);
        for (const std::string& line : ActionListLines(library.actionNames()))
            std::printf("%s\n", line.c_str());
        return 0;
    }
    if (options.command == "help") {
        if (options.rest.size() != 1)
            throw UsageFailure{ "help needs one action name" };
        std::fputs(ActionHelp(utf8(options.rest[0])).c_str(), stdout);
        return 0;
    }
    if (options.command == "run") {
        if (options.rest.empty())
            throw UsageFailure{ "run needs an action name" };
        HostContext::Values arguments;
        for (size_t i = 1; i < options.rest.size(); ++i)
            splitPair(options.rest[i], arguments);
        InstallLogOutput installLog(output, options.installLogFile);
        ActionLibrary library(options.dll);
        std::unique_ptr<ChildOutput> childOutput(options.json ? new ChildOutput(output) : 0);
        return RunAction(library, options.rest[0], arguments, options.properties, output, childOutput.get());
    }
    if (options.command == "plan") {
        if (options.rest.size() != 1)
            throw UsageFailure{ "plan needs exactly one file" };
        Plan plan = ReadPlan(options.rest[0]);
        InstallLogOutput installLog(output, options.installLogFile);
        ActionLibrary library(options.dll);
        std::unique_ptr<ChildOutput> childOutput(options.json ? new ChildOutput(output) : 0);
        // Before the first step: every process a step starts is in it.
        ProcessJob job;
        Interruption interruption(output);
        return RunPlan(library, plan, options.properties, output, childOutput.get(), &interruption);
    }
    if (options.command == "msi")
        return RunMsiCommand(options.rest, output);
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
        return UsageErrorStatus;
    } catch (const PackageFailure& failure) {
        Output::error(failure.message);
        return 1;
    }
}
