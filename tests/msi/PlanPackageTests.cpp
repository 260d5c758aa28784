// Packages that verrand-host msi wrote, under Wine's msiexec: a property
// value holding ";" reaches its argument whole, a major upgrade keeps the
// user's changed configuration file; and the command itself refuses a plan
// or a package without leaving an output package or touching its input.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "MsiexecRun.h"
#include "host/HostTestSupport.h"
#include "support/MachineSnapshot.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kVersion1 = L"{5A3C2E10-7B4D-4E8F-9A61-2C3D4E5F6B01}";
const wchar_t* const kVersion2 = L"{5A3C2E10-7B4D-4E8F-9A61-2C3D4E5F6B02}";
const wchar_t* const kEnvironmentKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

std::wstring userSettings()
{
    wchar_t path[MAX_PATH] = { 0 };
    SHGetFolderPathW(0, CSIDL_APPDATA, 0, SHGFP_TYPE_CURRENT, path);
    return path + std::wstring(L"\\Verrand Plan Package\\settings.ini");
}

// The payload's install folder: wixl's payload is an x86 package, which
// installs into the 32-bit program files folder whichever build runs it.
std::wstring installFolder()
{
    wchar_t path[MAX_PATH] = { 0 };
    SHGetFolderPathW(0, CSIDL_PROGRAM_FILESX86, 0, SHGFP_TYPE_CURRENT, path);
    return path + std::wstring(L"\\Verrand Plan Package");
}

class PlanPackage : public testing::Test {
protected:
    void SetUp()
    {
        RemoveProduct(kVersion2);
        RemoveProduct(kVersion1);
    }
    void TearDown() { SetUp(); }
    static MsiexecResult Install(const wchar_t* package, const std::wstring& properties = L"")
    {
        return RunMsiexec(L"/i \"" + TestPackage(std::wstring(L"msi-packages\\") + package) + L"\" " + properties);
    }
};
}

TEST_F(PlanPackage, APropertyValueReachesItsArgumentWhole)
{
    // A type-51 SetProperty would make this two more pairs, one of them a secret's name.
    const std::wstring value = L"a;b;;c;ENV_NAME=PATH;SensitiveData=x=y;";
    const MsiexecResult install = Install(L"plan-v1.msi", L"\"PLANVALUE=" + value + L"\"");
    ASSERT_EQ(0u, install.exitCode) << install.log;
    EXPECT_EQ(value, RegGetText(HKEY_LOCAL_MACHINE, kEnvironmentKey, L"VERRAND_PLAN_VALUE"));
    // Each run serves its own plan's script actions and the state folder's
    // two entries: the install plan's two steps with their twins, the
    // removal plan's three steps and two twins.
    EXPECT_TRUE(install.Logged("Verrand SetCustomActionData level 2: CustomActionData set for 6 actions")) << install.log;

    const MsiexecResult removal = RunMsiexec(std::wstring(L"/x ") + kVersion1);
    ASSERT_EQ(0u, removal.exitCode) << removal.log;
    EXPECT_TRUE(removal.Logged("Verrand SetCustomActionData level 2: CustomActionData set for 7 actions")) << removal.log;
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kEnvironmentKey, L"VERRAND_PLAN_VALUE"));
    EXPECT_FALSE(PathExists(userSettings()));
}

TEST_F(PlanPackage, MajorUpgradeKeepsTheUsersChangedConfiguration)
{
    ASSERT_EQ(0u, Install(L"plan-v1.msi").exitCode);
    ASSERT_TRUE(PathExists(userSettings()));
    WriteBytes(userSettings(), "changed by the user\r\n");

    const MsiexecResult upgrade = Install(L"plan-v2.msi");
    ASSERT_EQ(0u, upgrade.exitCode) << upgrade.log;
    EXPECT_FALSE(ProductInstalled(kVersion1));
    EXPECT_TRUE(ProductInstalled(kVersion2));
    EXPECT_TRUE(upgrade.Logged("Verrand_DuAction_upgrade")) << upgrade.log;
    // Wine's RemoveExistingProducts removes the old version by a plain
    // REMOVE=ALL run, without UPGRADINGPRODUCTCODE, so there its removal
    // steps run; the next test takes Windows's two steps one by one.
    if (!RunningUnderWine()) {
        EXPECT_EQ("changed by the user\r\n", ReadBytes(userSettings()));
        EXPECT_TRUE(upgrade.Logged("Skipping action for the following kind of DU transaction: upgrade")) << upgrade.log;
    }
}

TEST_F(PlanPackage, UpgradesRemovalAndInstallKeepTheUsersChangedConfiguration)
{
    ASSERT_EQ(0u, Install(L"plan-v1.msi").exitCode);
    WriteBytes(userSettings(), "changed by the user\r\n");

    // What Windows Installer runs inside a major upgrade: the old version's
    // removal with UPGRADINGPRODUCTCODE, then the new version with its
    // Upgrade property naming the old one.
    const MsiexecResult removal = RunMsiexec(std::wstring(L"/x ") + kVersion1 + L" UPGRADINGPRODUCTCODE=" + kVersion2);
    ASSERT_EQ(0u, removal.exitCode) << removal.log;
    EXPECT_FALSE(removal.Logged("Verrand RemoveUserConfigFile ")) << removal.log;
    EXPECT_EQ("changed by the user\r\n", ReadBytes(userSettings()));

    const MsiexecResult install = Install(L"plan-v2.msi", std::wstring(L"WIX_UPGRADE_DETECTED=") + kVersion1);
    ASSERT_EQ(0u, install.exitCode) << install.log;
    EXPECT_TRUE(install.Logged("Skipping action for the following kind of DU transaction: upgrade")) << install.log;
    EXPECT_EQ("changed by the user\r\n", ReadBytes(userSettings()));
}

// wixl writes no RemoveFile row for the payload's folders: the rows
// verrand-host msi adds take the install folder away on removal, and
// Windows Installer keeps one that still holds a file of the user's.
TEST_F(PlanPackage, RemovalTakesItsFoldersAndKeepsOneWithTheUsersFile)
{
    const std::wstring folder = installFolder();
    for (bool usersFile : { false, true }) {
        SCOPED_TRACE(usersFile ? "a file of the user's in the install folder" : "only the package's files");
        const MsiexecResult install = Install(L"plan-v1.msi");
        ASSERT_EQ(0u, install.exitCode) << install.log;
        ASSERT_TRUE(PathExists(folder + L"\\userconfigfiles\\settings.ini")) << Narrow(folder);
        if (usersFile)
            WriteBytes(folder + L"\\notes.txt", "the user's\r\n");

        const MsiexecResult removal = RunMsiexec(std::wstring(L"/x ") + kVersion1);
        ASSERT_EQ(0u, removal.exitCode) << removal.log;
        EXPECT_FALSE(PathExists(folder + L"\\userconfigfiles")) << removal.log;
        EXPECT_EQ(usersFile, PathExists(folder)) << testing::PrintToString(TreeContent(folder));
        if (usersFile)
            EXPECT_EQ("the user's\r\n", ReadBytes(folder + L"\\notes.txt"));
        RemoveTree(folder);
    }
}

// A package whose install fails late gives back exactly what the user had
// (its steps paired with their exact twins by verrand-host msi), keeps its
// state in a folder of this run's own, and leaves the state an earlier run
// left as it is, named in its log.
TEST_F(PlanPackage, AFailedInstallGivesBackExactlyWhatTheUserHad)
{
    wchar_t temp[MAX_PATH + 1];
    const std::wstring tempFolder(temp, GetTempPathW(MAX_PATH + 1, temp));
    const std::wstring stateBase = tempFolder + L"Verrand " + kVersion1;
    const std::wstring settingsFolder = userSettings().substr(0, userSettings().find_last_of(L'\\'));
    const SnapshotPlaces places{ { settingsFolder, stateBase }, {}, { L"VERRAND_PLAN_VALUE" } };
    const auto forget = [&] {
        RemoveTree(settingsFolder);
        RemoveTree(stateBase);
        HKEY environment = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_SET_VALUE, &environment) == ERROR_SUCCESS) {
            RegDeleteValueW(environment, L"VERRAND_PLAN_VALUE");
            RegCloseKey(environment);
        }
    };
    for (bool present : { false, true }) {
        SCOPED_TRACE(present ? "the user's own before" : "absent before");
        forget();
        if (present) {
            WriteUsersOwnFile(userSettings());
            RegSetText(HKEY_LOCAL_MACHINE, kEnvironmentKey, L"VERRAND_PLAN_VALUE", L"C:\\own;%SystemRoot%", 0,
                       REG_EXPAND_SZ);
            // A killed run of an earlier version left its state under the
            // name every run used to share.
            CreateDirectoryW(stateBase.c_str(), 0);
            CreateDirectoryW((stateBase + L"\\Install2").c_str(), 0);
            WriteBytes(stateBase + L"\\Install2\\DoRollback", "left by a killed run");
        }
        const Snapshot before = TakeSnapshot(places);

        const MsiexecResult install = Install(L"plan-failing.msi");
        EXPECT_EQ(1603u, install.exitCode) << install.log;
        EXPECT_TRUE(install.Logged("Verrand CopyUserConfigFile level 2: Writing rollback signal: ")) << install.log;
        EXPECT_TRUE(install.Logged("Verrand RollbackCopyUserConfigFile ")) << install.log;
        EXPECT_TRUE(install.Logged("Verrand RollbackConfigureEnvironment ")) << install.log;
        EXPECT_EQ(before, TakeSnapshot(places));
        EXPECT_FALSE(ProductInstalled(kVersion1));
        EXPECT_EQ(present, install.Logged("Leaving the rollback state of earlier runs as it is, for a person to "
                                          "restore from: "))
            << install.log;
        // This run's own folder was removed with the rollback.
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((stateBase + L" *").c_str(), &found);
        EXPECT_EQ(INVALID_HANDLE_VALUE, search)
            << Narrow(found.cFileName) << " holds " << testing::PrintToString(TreeContent(tempFolder + found.cFileName));
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
    forget();
}

TEST(PlanPackageCommand, RefusalsLeaveNoPackageAndTheInputAsItWas)
{
    ScopedTempDir folder;
    WriteBytes(folder.file(L"refused.json"),
               "{\"steps\": [{\"action\": \"RunCommand\"}, {\"action\": \"RunCommand\"},\n"
               "            {\"action\": \"InstallDUBundle\", \"args\": {\"Guid\": \"[ProductCode]\"}}]}");
    WriteBytes(folder.file(L"fine.json"), "{\"steps\": [{\"action\": \"RunCommand\", \"args\": {\"CmdLine\": \"x\"}}]}");
    const std::wstring payload = TestPackage(L"msi-packages\\plan-payload-v1.msi");
    const std::wstring written = TestPackage(L"msi-packages\\plan-v1.msi");
    struct Row {
        const wchar_t* plan;
        std::wstring input;
        std::wstring output;
        const char* line;
    };
    const Row rows[] = {
        { L"refused.json", payload, folder.file(L"out.msi"),
          "steps[3]: InstallDUBundle cannot run inside a Windows Installer package" },
        // Written once already: its names clash with the plan's.
        { L"fine.json", written, folder.file(L"out.msi"), "the package already has an action named Verrand_" },
        { L"fine.json", payload, payload, "is the input package" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const std::string before = ReadBytes(row.input);
        const ChildResult result = RunChild(L"cmd /s /c \"" + HostCommand(L"msi --install " + QuotedArgument(folder.file(row.plan)) + L" " +
                                                                            QuotedArgument(row.input) + L" " +
                                                                            QuotedArgument(row.output)) +
                                            L" 2>&1\"");
        EXPECT_EQ(2u, result.exitCode) << result.output;
        EXPECT_NE(std::string::npos, result.output.find(row.line)) << result.output;
        EXPECT_EQ(before, ReadBytes(row.input));
        if (row.output != row.input) {
            EXPECT_FALSE(PathExists(row.output));
        }
        EXPECT_TRUE(TreeContent(folder.path()).size() == 2) << "nothing but the two plans in " << Narrow(folder.path());
    }
}
