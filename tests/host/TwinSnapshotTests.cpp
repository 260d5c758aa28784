// Every action that changes the machine, run as a plan through the host and
// then undone by a failing step: its exact twin, paired by the host, gives
// back exactly what was there, whether the object was absent or the user's
// own, after one run of the step and after the step run twice.
#include <algorithm>

#include <windows.h>

#include <msi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "HostTestSupport.h"
#include "support/ChildProcess.h"
#include "support/MachineSnapshot.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kEnvironmentKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const wchar_t* const kVariable = L"VERRAND_TWIN_SNAPSHOT";
const wchar_t* const kKey = L"Software\\VerrandTwinSnapshot";
// The deployment-unit tests' per-machine package: one file under the 32-bit
// program files folder.
const wchar_t* const kProduct = L"{7C0B1D2E-3F40-4A51-9B62-0D1E2F3A4B01}";
const wchar_t* const kShortcut = L"{dir}\\menu\\Notes\\Notes.lnk";

std::wstring package() { return TestProgramFolder() + L"\\du-packages\\machine.msi"; }

std::wstring productsFile()
{
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(0, CSIDL_PROGRAM_FILESX86, 0, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\VerrandDuMachine\\payload.txt";
}

void configureProduct(bool installed)
{
    const INSTALLUILEVEL previous = MsiSetInternalUI(INSTALLUILEVEL_NONE, 0);
    if (installed)
        EXPECT_EQ(ERROR_SUCCESS, MsiInstallProductW(package().c_str(), L"REBOOT=ReallySuppress ALLUSERS=1"));
    else if (MsiQueryProductStateW(kProduct) == INSTALLSTATE_DEFAULT)
        MsiConfigureProductExW(kProduct, INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT, L"");
    MsiSetInternalUI(previous, 0);
}

SnapshotPlaces menu(const std::wstring& dir) { return SnapshotPlaces{ { dir + L"\\menu" }, {}, {}, {} }; }

void setValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const std::string& bytes,
              REGSAM view = 0)
{
    HKEY opened = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key.c_str(), 0, 0, 0, KEY_SET_VALUE | view, 0, &opened, 0));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(opened, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
    RegCloseKey(opened);
}

std::string utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

// Values of every type, a binary one with NULs among them, in the key of
// both registry views (the 64-bit one is a bystander the 32-bit library
// must not reach).
void usersValues(HKEY root, const std::wstring& key)
{
    for (REGSAM view : { KEY_WOW64_32KEY, KEY_WOW64_64KEY }) {
        setValue(root, key, L"Text", REG_SZ, utf16(L"user's \u00e9"), view);
        setValue(root, key, L"Expand", REG_EXPAND_SZ, utf16(L"%SystemRoot%\\user"), view);
        setValue(root, key, L"Multi", REG_MULTI_SZ, utf16(std::wstring(L"one\0two\0", 8)), view);
        setValue(root, key, L"Number", REG_DWORD, std::string("\x2a\0\0\0", 4), view);
        setValue(root, key, L"Big", REG_QWORD, std::string("\x01\0\0\0\0\0\0\x80", 8), view);
        setValue(root, key, L"Bytes", REG_BINARY, std::string("\0\xff\0user\0", 8), view);
        setValue(root, key, L"Nothing", REG_NONE, std::string(), view);
    }
}

SnapshotPlaces bothViews(HKEY root)
{
    return SnapshotPlaces{ {}, { { root, kKey, KEY_WOW64_32KEY }, { root, kKey, KEY_WOW64_64KEY } }, {}, {} };
}

std::wstring withFolder(std::wstring text, const std::wstring& dir)
{
    for (std::wstring::size_type at; (at = text.find(L"{dir}")) != std::wstring::npos;)
        text.replace(at, 5, dir);
    if (text == L"{package}")
        text = package();
    return text;
}

struct Row {
    const char* why;
    const wchar_t* action;
    // The step's arguments; {dir} stands for the row's own folder, {package}
    // for the test package.
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
      [](const std::wstring&) { return SnapshotPlaces{ {}, {}, { kVariable }, {} }; } },
    { "a user configuration file copied over the user's", L"CopyUserConfigFile",
      { { L"$du.dir", L"{dir}\\du\\" }, { L"$du$action", L"install" }, { L"SrcFileName", L"notes.ini" },
        { L"DestDirName", L"{dir}\\profile\\Notes" }, { L"DestFileName", L"notes.ini" } },
      [](const std::wstring& dir) {
          CreateDirectoryW((dir + L"\\profile").c_str(), 0);
          WriteUsersOwnFile(dir + L"\\profile\\Notes\\notes.ini");
      },
      [](const std::wstring& dir) { return SnapshotPlaces{ { dir + L"\\profile" }, {}, {}, {} }; } },
    { "a registry value deleted", L"DeleteRegistryKey",
      { { L"Root", L"HKEY_LOCAL_MACHINE" }, { L"Path", kKey }, { L"Value", L"Bytes" } },
      [](const std::wstring&) { usersValues(HKEY_LOCAL_MACHINE, kKey); },
      [](const std::wstring&) { return bothViews(HKEY_LOCAL_MACHINE); } },
    { "a registry key of values deleted", L"DeleteRegistryKey", { { L"Root", L"HKEY_LOCAL_MACHINE" }, { L"Path", kKey } },
      [](const std::wstring&) { usersValues(HKEY_LOCAL_MACHINE, kKey); },
      [](const std::wstring&) { return bothViews(HKEY_LOCAL_MACHINE); } },
    // The target was the user's binary value: a move used to lose its data.
    { "a registry value moved onto the user's", L"MoveRegistry",
      { { L"RegistryHive", std::wstring(L"HKEY_LOCAL_MACHINE\\") + kKey }, { L"RegistryKeySrc", L"Text" },
        { L"RegistryKeyTgt", L"Bytes" }, { L"RegistryType", L"S" } },
      [](const std::wstring&) { usersValues(HKEY_LOCAL_MACHINE, kKey); },
      [](const std::wstring&) { return bothViews(HKEY_LOCAL_MACHINE); } },
    // The user's DWORD used to be deleted by the inexact twin.
    { "a user configuration value written over the user's", L"CreateUserConfigRegistryKey",
      { { L"RegistryPath", std::wstring(L"HKCU\\") + kKey + L"\\Config" }, { L"RegistryValueName", L"Number" },
        { L"RegistryValueData", L"product" }, { L"RegistryType", L"string" } },
      [](const std::wstring&) { usersValues(HKEY_CURRENT_USER, std::wstring(kKey) + L"\\Config"); },
      [](const std::wstring&) { return bothViews(HKEY_CURRENT_USER); } },
    { "a user configuration value removed", L"RemoveUserConfigRegistryKey",
      { { L"$du$action", L"uninstall" }, { L"RegistryPath", std::wstring(L"HKCU\\") + kKey + L"\\Config" },
        { L"RegistryValueName", L"Multi" } },
      [](const std::wstring&) { usersValues(HKEY_CURRENT_USER, std::wstring(kKey) + L"\\Config"); },
      [](const std::wstring&) { return bothViews(HKEY_CURRENT_USER); } },
    { "a user configuration file removed", L"RemoveUserConfigFile",
      { { L"$du$action", L"uninstall" }, { L"DirName", L"{dir}\\profile\\Notes" }, { L"FileName", L"notes.ini" } },
      [](const std::wstring& dir) {
          CreateDirectoryW((dir + L"\\profile").c_str(), 0);
          WriteUsersOwnFile(dir + L"\\profile\\Notes\\notes.ini");
      },
      [](const std::wstring& dir) { return SnapshotPlaces{ { dir + L"\\profile" }, {}, {}, {} }; } },
    // The user's own shortcut used to point at the product's program after
    // the inexact twin, or be deleted.
    { "a shortcut made over the user's", L"CreateShortcut",
      { { L"linkFullPath", kShortcut }, { L"pathToTarget", L"C:\\windows\\system32\\notepad.exe" },
        { L"runAction", L"1" } },
      [](const std::wstring& dir) {
          CreateDirectoryW((dir + L"\\menu").c_str(), 0);
          WriteUsersOwnFile(withFolder(kShortcut, dir));
      },
      menu },
    { "a shortcut removed with its folder", L"RemoveShortcut", { { L"linkFullPath", kShortcut }, { L"runAction", L"1" } },
      [](const std::wstring& dir) {
          CreateDirectoryW((dir + L"\\menu").c_str(), 0);
          WriteUsersOwnFile(withFolder(kShortcut, dir));
      },
      menu },
    { "folders made below the user's", L"EnsureFolderExists", { { L"FolderName", L"{dir}\\menu\\Notes\\logs\\old" } },
      [](const std::wstring& dir) {
          CreateDirectoryW((dir + L"\\menu").c_str(), 0);
          WriteUsersOwnFile(dir + L"\\menu\\Notes\\notes.ini");
      },
      menu },
    // The user's app.config used to stay edited.
    { "the user's file edited", L"LMRXTextReplace",
      { { L"File", L"{dir}\\menu\\app.config" }, { L"SearchWord", L"own" }, { L"ReplaceWord", L"product's" } },
      [](const std::wstring& dir) { WriteUsersOwnFile(dir + L"\\menu\\app.config"); }, menu },
    // A product the user had before used to be removed by the inexact twin.
    { "a product installed", L"InstallDUBundle", { { L"DUBundle", L"{package}" }, { L"PerUser", L"no" } },
      [](const std::wstring&) { configureProduct(true); },
      [](const std::wstring&) { return SnapshotPlaces{ { productsFile() }, {}, {}, { kProduct } }; } },
};

// The variable and the keys the rows use, gone (the folders go with each
// row's temporary folder).
void forgetMachineObjects()
{
    HKEY environment = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_SET_VALUE, &environment) == ERROR_SUCCESS) {
        RegDeleteValueW(environment, kVariable);
        RegCloseKey(environment);
    }
    for (HKEY root : { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER })
        for (REGSAM view : { KEY_WOW64_32KEY, KEY_WOW64_64KEY })
            RegRemoveTree(root, kKey, view);
    configureProduct(false);
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
                forgetMachineObjects();
                if (present)
                    row.usersOwn(dir.path());
                const SnapshotPlaces places = row.places(dir.path());
                const Snapshot before = TakeSnapshot(places);
                EXPECT_EQ(present, !before.empty());

                WriteBytes(dir.file(L"plan.json"), planText(row, dir.path(), runs));
                const ChildResult result = RunChild(HostCommand(L"plan " + QuotedArgument(dir.file(L"plan.json"))));
                EXPECT_EQ(1u, result.exitCode) << result.output;
                // The step did its work over what the user had (with nothing
                // there, or for a second removal, it may fail: the plan then
                // rolls back from there).
                const std::vector<std::string> lines = SplitLines(result.output);
                if (present) {
                    const std::string returned = Narrow(row.action) + " returned ";
                    const auto first = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
                        return line.compare(0, returned.size(), returned) == 0;
                    });
                    ASSERT_NE(lines.end(), first) << result.output;
                    EXPECT_EQ(returned + "0", *first) << result.output;
                }
                EXPECT_NE(std::string::npos, result.output.find("== rolling back")) << result.output;
                EXPECT_EQ(before, TakeSnapshot(places)) << result.output;
                // Every twin consumed its state: no folder is kept.
                EXPECT_EQ(std::string::npos, result.output.find("the plan's folder is kept")) << result.output;
                forgetMachineObjects();
            }
        }
    }
}
