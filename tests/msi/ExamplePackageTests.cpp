// The example package (notes.msi: the plans of examples/msi written into its
// payload by verrand-host msi) under Wine's msiexec: every
// action it schedules leaves its effect on install, the removal actions
// take them back on msiexec /x, the licence key reaches its program but no
// log, a major upgrade keeps what the user has, and the failing build rolls
// everything back.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "MsiexecRun.h"
#include "shell/ShortcutFile.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kNotesProduct = L"{7C1F4E2A-93B5-4D06-A8E7-2F5B6C9D0B11}";
const wchar_t* const kFailingProduct = L"{7C1F4E2A-93B5-4D06-A8E7-2F5B6C9D0B12}";
const wchar_t* const kUpgradeProduct = L"{7C1F4E2A-93B5-4D06-A8E7-2F5B6C9D0B15}";
const char* const kLicenceKey = "NTS-4711-secret-key";
const wchar_t* const kEnvironmentKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

std::wstring knownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = { 0 };
    if (FAILED(SHGetFolderPathW(0, csidl, 0, SHGFP_TYPE_CURRENT, path)))
        throw std::runtime_error("no known folder");
    return path;
}

// Where the example's actions leave their marks. The shortcut goes into
// [ProgramMenuFolder], the all-users menu on Windows (a per-machine
// package) and the user's under Wine.
struct NotesPlaces {
    std::wstring installDir = knownFolder(CSIDL_PROGRAM_FILES) + L"\\Verrand Package Notes\\";
    std::wstring commonShortcutFolder = knownFolder(CSIDL_COMMON_PROGRAMS) + L"\\Verrand Package Notes";
    std::wstring userShortcutFolder = knownFolder(CSIDL_PROGRAMS) + L"\\Verrand Package Notes";
    std::wstring userFolder = knownFolder(CSIDL_APPDATA) + L"\\Verrand Package Notes";
    std::wstring pathHead = installDir + L"bin;";

    std::wstring Path() const { return RegGetText(HKEY_LOCAL_MACHINE, kEnvironmentKey, L"PATH"); }
    std::wstring Shortcut() const
    {
        const std::wstring common = commonShortcutFolder + L"\\Notes.lnk";
        return PathExists(common) ? common : userShortcutFolder + L"\\Notes.lnk";
    }
    bool OnPath() const { return Path().find(pathHead) != std::wstring::npos; }
    // The folder an action shares with its rollback twin ([TempFolder]),
    // as the generated package and the hand-written one name it.
    bool StateLeft(const wchar_t* product) const
    {
        wchar_t temp[MAX_PATH + 1] = { 0 };
        GetTempPathW(MAX_PATH + 1, temp);
        return PathExists(temp + std::wstring(L"Verrand ") + product) ||
               PathExists(temp + std::wstring(L"Verrand Package Notes ") + product);
    }
};

class ExamplePackage : public testing::Test {
protected:
    void SetUp()
    {
        RemoveProduct(kNotesProduct);
        RemoveProduct(kFailingProduct);
        RemoveProduct(kUpgradeProduct);
    }
    void TearDown()
    {
        RemoveProduct(kNotesProduct);
        RemoveProduct(kUpgradeProduct);
    }

    MsiexecResult Install(const wchar_t* package)
    {
        return RunMsiexec(L"/i \"" + TestPackage(std::wstring(L"..\\examples\\msi\\") + package) +
                          L"\" LICENSEKEY=" + std::wstring(kLicenceKey, kLicenceKey + strlen(kLicenceKey)));
    }
    // Nothing of the product's actions is on the machine.
    void ExpectNothingLeft(const wchar_t* product, const MsiexecResult& result)
    {
        EXPECT_FALSE(PathExists(places.commonShortcutFolder) || PathExists(places.userShortcutFolder)) << "shortcut folder";
        EXPECT_FALSE(places.OnPath()) << Narrow(places.Path());
        EXPECT_FALSE(PathExists(places.userFolder)) << "user configuration folder";
        EXPECT_FALSE(PathExists(places.installDir)) << "install folder";
        EXPECT_FALSE(places.StateLeft(product));
        EXPECT_FALSE(ProductInstalled(product));
        ExpectKeyNotLogged(result);
    }
    // Only Wine's closing property list may show the key, in the
    // properties the package hides (LICENSEKEY and the data of the step
    // that passes it on).
    static void ExpectKeyNotLogged(const MsiexecResult& result)
    {
        const std::string listed = "Property(S): MsiHiddenProperties = ";
        const std::vector<std::string> hiddenLines = result.LinesWith(listed);
        ASSERT_FALSE(hiddenLines.empty());
        std::string hidden = hiddenLines[0].substr(hiddenLines[0].find(listed) + listed.size());
        hidden.erase(hidden.find_last_not_of("\r") + 1);
        EXPECT_NE(std::string::npos, (";" + hidden + ";").find(";LICENSEKEY;")) << hidden;
        for (const std::string& line : result.LinesWith(kLicenceKey)) {
            const std::string::size_type equals = line.find(" = ");
            const std::string name = line.compare(0, 13, "Property(S): ") == 0 && equals != std::string::npos
                                         ? line.substr(13, equals - 13)
                                         : std::string();
            EXPECT_TRUE(RunningUnderWine() && !name.empty() &&
                        (";" + hidden + ";").find(";" + name + ";") != std::string::npos)
                << line;
        }
    }

    NotesPlaces places;
};
}

TEST_F(ExamplePackage, InstallsWithEveryActionAndRemovesAllOfIt)
{
    const std::wstring pathBefore = places.Path();
    const MsiexecResult install = Install(L"notes.msi");
    ASSERT_EQ(0u, install.exitCode) << install.log;

    // Its description is the text the immediate TranslateString published.
    EXPECT_EQ(L"Welcome to Verrand Demo Notes. Your notes are kept in your roaming profile.",
              ReadShellLink(places.Shortcut()).description);
    const std::string config = ReadBytes(places.installDir + L"config\\app.config");
    EXPECT_NE(std::string::npos, config.find("value=\"" + Narrow(places.installDir) + "\"")) << config;
    EXPECT_EQ(0u, places.Path().find(places.pathHead)) << Narrow(places.Path());
    EXPECT_TRUE(PathExists(places.userFolder + L"\\notes.ini"));
    // The key reached the installed program, and no line of the log.
    EXPECT_NE(std::string::npos, ReadBytes(places.installDir + L"license.txt").find(kLicenceKey));
    ExpectKeyNotLogged(install);
    EXPECT_TRUE(install.Logged("Verrand RunCommand level 2: ")) << "the command line, masked";
    EXPECT_FALSE(places.StateLeft(kNotesProduct)) << "the commit action cleans the shared folder";
    EXPECT_TRUE(install.Logged("Verrand RemoveStateFolder level 2: Removed the state folder ")) << "without a command";

    const MsiexecResult removal = RunMsiexec(std::wstring(L"/x ") + kNotesProduct);
    ASSERT_EQ(0u, removal.exitCode) << removal.log;
    ExpectNothingLeft(kNotesProduct, removal);
    EXPECT_EQ(pathBefore, places.Path());
}

TEST_F(ExamplePackage, LateFailureRollsBackEveryAction)
{
    const std::wstring pathBefore = places.Path();
    const MsiexecResult result = Install(L"notes-failing.msi");
    EXPECT_EQ(1603u, result.exitCode);
    EXPECT_TRUE(result.Logged("Verrand DeleteRegistryKey level 2: Root is invalid:HKEY_FAIL_ON_PURPOSE")) << result.log;
    // The twins ran, newest first: the licence file, the copied file, the
    // folder, the PATH entry, the edited file, the shortcut.
    const char* const twins[] = { "Verrand RunRollBackCommand ", "Verrand RollbackCopyUserConfigFile level 2: Rollback UserConfigFile",
                                  "Verrand RollbackEnsureFolderExists ", "Verrand RollbackConfigureEnvironment ",
                                  "Verrand RollbackLMRXTextReplace ", "Verrand RollbackCreateShortcut " };
    std::string::size_type previous = result.log.find("Root is invalid:HKEY_FAIL_ON_PURPOSE");
    for (const char* twin : twins) {
        const std::string::size_type at = result.log.find(twin, previous);
        EXPECT_NE(std::string::npos, at) << twin << " after the one before";
        previous = at == std::string::npos ? previous : at;
    }
    // Last of all, the shared state folder.
    EXPECT_NE(std::string::npos, result.log.find("Verrand RemoveStateFolder level 2: Removed the state folder ", previous));
    ExpectNothingLeft(kFailingProduct, result);
    EXPECT_EQ(pathBefore, places.Path());
}

// The hand-written package (the README's worked example of the tables):
// the upgrade removes the older version without its removal actions, and
// its own copy of the user configuration file keeps the user's file.
//
// Wine's RemoveExistingProducts removes the older version without setting
// UPGRADINGPRODUCTCODE, as Windows does, so its removal actions would run.
// Under Wine the test does that step itself, as Windows would, and gives
// the upgrade the property FindRelatedProducts then no longer sets.
TEST_F(ExamplePackage, MajorUpgradeKeepsTheUsersFileAndWhatTheOlderVersionMade)
{
    const std::wstring pathBefore = places.Path();
    const MsiexecResult install = Install(L"handwritten\\notes.msi");
    ASSERT_EQ(0u, install.exitCode) << install.log;
    EXPECT_TRUE(install.Logged("Verrand RemoveStateFolder level 2: Removed the state folder ")) << install.log;
    EXPECT_FALSE(places.StateLeft(kNotesProduct));
    const std::wstring userFile = places.userFolder + L"\\notes.ini";
    WriteBytes(userFile, "[notes]\r\nfolder=changed by the user\r\n");

    std::wstring upgradeProperties;
    if (RunningUnderWine()) {
        const MsiexecResult removal =
            RunMsiexec(std::wstring(L"/x ") + kNotesProduct + L" UPGRADINGPRODUCTCODE=" + kUpgradeProduct);
        ASSERT_EQ(0u, removal.exitCode) << removal.log;
        upgradeProperties = std::wstring(L" NOTESUPGRADE=") + kNotesProduct;
    }
    const MsiexecResult upgrade = RunMsiexec(L"/i \"" + TestPackage(L"..\\examples\\msi\\handwritten\\notes-upgrade.msi") +
                                             L"\"" + upgradeProperties);
    ASSERT_EQ(0u, upgrade.exitCode) << upgrade.log;
    EXPECT_FALSE(ProductInstalled(kNotesProduct));
    EXPECT_TRUE(ProductInstalled(kUpgradeProduct));
    EXPECT_EQ("[notes]\r\nfolder=changed by the user\r\n", ReadBytes(userFile));
    EXPECT_TRUE(upgrade.Logged("Verrand CopyUserConfigFile level 2: Skipping action for the following kind of DU "
                               "transaction: upgrade"))
        << upgrade.log;
    EXPECT_TRUE(PathExists(places.Shortcut()));
    const std::wstring path = places.Path();
    EXPECT_EQ(0u, path.find(places.pathHead)) << Narrow(path);
    EXPECT_EQ(std::wstring::npos, path.find(places.pathHead, 1)) << "the entry once: " << Narrow(path);

    const MsiexecResult removal = RunMsiexec(std::wstring(L"/x ") + kUpgradeProduct);
    ASSERT_EQ(0u, removal.exitCode) << removal.log;
    ExpectNothingLeft(kUpgradeProduct, removal);
    EXPECT_EQ(pathBefore, places.Path());
}
