// Setups running at once: three real host processes editing the same machine
// environment value and the same registry key lose nothing, because the
// library serialises its own read-modify-write steps through one machine-wide
// mutex; and an action that cannot have that mutex changes nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <set>

#include <nlohmann/json.hpp>

#include "support/ActionLibrary.h"
#include "support/ChildProcess.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "../command/ProbeCommands.h"

namespace {
const wchar_t* const kEnvironmentKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const wchar_t* const kVariable = L"VERRAND_CONCURRENT_PATH";
const wchar_t* const kUserKey = L"Software\\VerrandConcurrent\\Shared";
const wchar_t* const kUserParent = L"Software\\VerrandConcurrent";
const int kHosts = 3;
const unsigned long kMinute = 60000;

class ConcurrentSetupTest : public ::testing::Test {
protected:
    void SetUp() { clean(); }
    void TearDown() { clean(); }
    void clean()
    {
        HKEY key = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, kVariable);
            RegCloseKey(key);
        }
        RegRemoveTree(HKEY_CURRENT_USER, kUserParent);
    }

    // Runs the plans in one host process each, all at once: every plan first
    // waits for a release file, written once every host has started, so
    // that their remaining steps overlap. The exit codes and outputs.
    std::vector<ChildResult> runAtOnce(const std::vector<nlohmann::json>& stepLists)
    {
        const std::wstring release = temp.file(L"release");
        std::vector<std::unique_ptr<StartedChild>> hosts;
        for (size_t i = 0; i < stepLists.size(); ++i) {
            nlohmann::json plan;
            plan["properties"]["$du$action"] = "uninstall";
            plan["steps"] = nlohmann::json::array();
            plan["steps"].push_back(
                { { "action", "RunCommand" },
                  { "args", { { "CmdLine", Narrow(ProbeCommand(L"--wait-for " + Quoted(release))) } } } });
            for (const nlohmann::json& step : stepLists[i])
                plan["steps"].push_back(step);
            const std::wstring planFile = temp.file(L"plan" + std::to_wstring(i) + L".json");
            std::ofstream(planFile.c_str()) << plan.dump();
            hosts.emplace_back(
                new StartedChild(QuotedArgument(DistFolder() + L"\\verrand-host.exe") + L" plan " + QuotedArgument(planFile)));
        }
        for (auto& host : hosts)
            EXPECT_TRUE(host->WaitForOutput("== step 1 of", kMinute));
        WriteBytes(release, "go");
        std::vector<ChildResult> results;
        for (auto& host : hosts)
            results.push_back(host->Finish());
        return results;
    }

    ScopedTempDir temp;
};

nlohmann::json step(const char* action, const nlohmann::json& args)
{
    return { { "action", action }, { "args", args } };
}
}

TEST_F(ConcurrentSetupTest, HostsPrependingToOneMachineVariableLoseNoEntry)
{
    RegSetText(HKEY_LOCAL_MACHINE, kEnvironmentKey, kVariable, L"base");
    const int prepends = 60;
    std::vector<nlohmann::json> plans(kHosts, nlohmann::json::array());
    std::set<std::string> expected = { "base" };
    for (int host = 0; host < kHosts; ++host) {
        for (int i = 0; i < prepends; ++i) {
            const std::string entry = "h" + std::to_string(host) + "-" + std::to_string(i);
            expected.insert(entry);
            plans[host].push_back(step("ConfigureEnvironment", { { "ENV_NAME", Narrow(kVariable) },
                                                                 { "ENV_VALUE", entry + ";" },
                                                                 { "ACTION", "prepend" } }));
        }
    }
    for (const ChildResult& result : runAtOnce(plans))
        EXPECT_EQ(0u, result.exitCode) << result.output;

    const std::string value = Narrow(RegGetText(HKEY_LOCAL_MACHINE, kEnvironmentKey, kVariable));
    std::multiset<std::string> found;
    for (std::string::size_type start = 0;;) {
        const std::string::size_type end = value.find(';', start);
        found.insert(value.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    EXPECT_EQ(std::multiset<std::string>(expected.begin(), expected.end()), found) << value;
}

TEST_F(ConcurrentSetupTest, HostsWritingAndRemovingUnderOneKeyLoseNoValue)
{
    // Each host writes a value of its own and removes it again, so the key
    // keeps going empty: a removal that finds it empty must never delete it
    // while another host's value has just been written into it. Such a loss
    // fails that host's next removal (or its write), and so its plan.
    const int rounds = 60;
    std::vector<nlohmann::json> plans(kHosts, nlohmann::json::array());
    for (int host = 0; host < kHosts; ++host) {
        const std::string name = "host" + std::to_string(host);
        const std::string path = "HKCU\\" + Narrow(kUserKey);
        for (int i = 0; i < rounds; ++i) {
            plans[host].push_back(step("CreateUserConfigRegistryKey",
                                       { { "RegistryPath", path }, { "RegistryValueName", name },
                                         { "RegistryValueData", std::to_string(i) }, { "RegistryType", "string" } }));
            plans[host].push_back(
                step("RemoveUserConfigRegistryKey", { { "RegistryPath", path }, { "RegistryValueName", name } }));
        }
    }
    for (const ChildResult& result : runAtOnce(plans))
        EXPECT_EQ(0u, result.exitCode) << result.output;
    // The last removal took the emptied key with it.
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUserKey));
}

TEST_F(ConcurrentSetupTest, ActionsThatCannotHaveTheLockChangeNothing)
{
    // Another kind of object holds the mutex's name, so the mutex cannot be
    // made (error 6).
    HANDLE squatter = CreateEventW(0, TRUE, FALSE, L"Global\\VerrandRegistryEdit");
    ASSERT_TRUE(squatter != 0);
    RegSetText(HKEY_LOCAL_MACHINE, kEnvironmentKey, kVariable, L"base");
    RegSetText(HKEY_CURRENT_USER, kUserKey, L"Kept", L"x", KEY_WOW64_64KEY);

    const struct {
        const char* action;
        RecordingContext::Values arguments;
        const wchar_t* line;
    } cases[] = {
        { "ConfigureEnvironment",
          { { L"ENV_NAME", kVariable }, { L"ENV_VALUE", L"new;" }, { L"ACTION", L"prepend" } },
          L"Fails to lock the Environment Hive [6]" },
        { "CreateUserConfigRegistryKey",
          { { L"RegistryPath", std::wstring(L"HKCU\\") + kUserKey }, { L"RegistryValueName", L"New" },
            { L"RegistryValueData", L"y" }, { L"RegistryType", L"string" } },
          L"WriteValueToRegistry:: failed to lock registry key (6)." },
        { "RemoveUserConfigRegistryKey",
          { { L"$du$action", L"uninstall" }, { L"RegistryPath", std::wstring(L"HKCU\\") + kUserKey },
            { L"RegistryValueName", L"Kept" } },
          L"RemoveUserConfigRegistryKey:: failed to lock registry key (6)." },
    };
    for (const auto& c : cases) {
        RecordingContextPtr context = RecordingContext::Create(c.arguments);
        EXPECT_EQ(1, CallAction(c.action, context)) << c.action;
        EXPECT_EQ((std::vector<std::wstring>{ c.line }), context->Texts(4)) << c.action;
    }
    CloseHandle(squatter);
    EXPECT_EQ(L"base", RegGetText(HKEY_LOCAL_MACHINE, kEnvironmentKey, kVariable));
    EXPECT_EQ(L"x", RegGetText(HKEY_CURRENT_USER, kUserKey, L"Kept", KEY_WOW64_64KEY));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kUserKey, L"New", KEY_WOW64_64KEY));
}
