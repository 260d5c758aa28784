// Every action that changes the machine, run as a plan through the host and
// then undone by a failing step: its exact twin, paired by the host, gives
// back exactly what was there, whether the object was absent or the user's
// own, after one run of the step and after the step run twice.
#include <algorithm>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "HostTestSupport.h"
#include "support/MachineSnapshot.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kEnvironmentKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const wchar_t* const kVariable = L"VERRAND_TWIN_SNAPSHOT";

struct Row {
    const char* why;
    const wchar_t* action;
    // The step's arguments; {dir} stands for the row's own folder.
    std::vector<std::pair<std::wstring, std::wstring>> arguments;
    // What the user had there before the plan, in the "present" runs.
    void (*usersOwn)(const std::wstring& dir);
    SnapshotPlaces (*places)(const std::wstring& dir);
};

const Row kRows[] = {
    { "a machine variable: prepend", L"ConfigureEnvironment",
      { { L"ENV_NAME", kVariable }, { L"ENV_VALUE", L"{dir}\\bin;" }, { L"ACTION", L"prepend" } },
      [](const std::wstring&) {
          RegSetText(HKEY_LOCAL_MACHINE, kEnvironmentKey, kVariable, L"C:\\user's own;%SystemRoot%", 0, REG_EXPAND_SZ);
      },
      [](const std::wstring&) { return SnapshotPlaces{ {}, {}, { kVariable } }; } },
    { "a user configuration file copied over the user's", L"CopyUserConfigFile",
      { { L"$du.dir", L"{dir}\\du\\" }, { L"$du$action", L"install" }, { L"SrcFileName", L"notes.ini" },
        { L"DestDirName", L"{dir}\\profile\\Notes" }, { L"DestFileName", L"notes.ini" } },
      [](const std::wstring& dir) {
          CreateDirectoryW((dir + L"\\profile").c_str(), 0);
          WriteUsersOwnFile(dir + L"\\profile\\Notes\\notes.ini");
      },
      [](const std::wstring& dir) { return SnapshotPlaces{ { dir + L"\\profile" }, {}, {} }; } },
    { "a user configuration file removed", L"RemoveUserConfigFile",
      { { L"$du$action", L"uninstall" }, { L"DirName", L"{dir}\\profile\\Notes" }, { L"FileName", L"notes.ini" } },
      [](const std::wstring& dir) {
          CreateDirectoryW((dir + L"\\profile").c_str(), 0);
          WriteUsersOwnFile(dir + L"\\profile\\Notes\\notes.ini");
      },
      [](const std::wstring& dir) { return SnapshotPlaces{ { dir + L"\\profile" }, {}, {} }; } },
};

void removeVariable()
{
    HKEY environment = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_SET_VALUE, &environment) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(environment, kVariable);
    RegCloseKey(environment);
}

std::wstring withFolder(std::wstring text, const std::wstring& dir)
{
    for (std::wstring::size_type at; (at = text.find(L"{dir}")) != std::wstring::npos;)
        text.replace(at, 5, dir);
    return text;
}

// [the step (twice when asked), a step that fails and has no twin]
std::string planText(const Row& row, const std::wstring& dir, int runs)
{
    nlohmann::json step = { { "action", Narrow(row.action) }, { "args", nlohmann::json::object() } };
    for (const auto& argument : row.arguments)
        step["args"][Narrow(argument.first)] = Narrow(withFolder(argument.second, dir));
    nlohmann::json plan = { { "steps", nlohmann::json::array() } };
    for (int i = 0; i < runs; ++i)
        plan["steps"].push_back(step);
    plan["steps"].push_back({ { "action", "DeleteRegistryKey" },
                              { "args", { { "Root", "HKEY_FAIL_ON_PURPOSE" }, { "Path", "Software\\Verrand" } } },
                              { "rollback", nullptr } });
    return plan.dump();
}
}

TEST(TwinSnapshot, EveryChangeIsGivenBackExactly)
{
    for (const Row& row : kRows) {
        for (bool present : { false, true }) {
            for (int runs : { 1, 2 }) {
                SCOPED_TRACE(std::string(row.why) + (present ? ", the user's own before" : ", absent before") +
                             (runs == 2 ? ", the step run twice" : ""));
                ScopedTempDir dir;
                CreateDirectoryW(dir.file(L"du").c_str(), 0);
                CreateDirectoryW(dir.file(L"du\\userconfigfiles").c_str(), 0);
                WriteBytes(dir.file(L"du\\userconfigfiles\\notes.ini"), "[notes]\r\ndefault=1\r\n");
                removeVariable();
                if (present)
                    row.usersOwn(dir.path());
                const SnapshotPlaces places = row.places(dir.path());
                const Snapshot before = TakeSnapshot(places);
                EXPECT_EQ(present, !before.empty());

                WriteBytes(dir.file(L"plan.json"), planText(row, dir.path(), runs));
                const ChildResult result = RunChild(HostCommand(L"plan " + QuotedArgument(dir.file(L"plan.json"))));
                EXPECT_EQ(1u, result.exitCode) << result.output;
                // The step did its work each time before the failure undid it.
                const std::vector<std::string> lines = SplitLines(result.output);
                EXPECT_EQ(runs, std::count(lines.begin(), lines.end(), Narrow(row.action) + " returned 0"))
                    << result.output;
                EXPECT_NE(std::string::npos, result.output.find("== rolling back")) << result.output;
                EXPECT_EQ(before, TakeSnapshot(places)) << result.output;
                // Every twin consumed its state: no folder is kept.
                EXPECT_EQ(std::string::npos, result.output.find("the plan's folder is kept")) << result.output;
                removeVariable();
            }
        }
    }
}
