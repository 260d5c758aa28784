// InstallDUBundle, UnInstallDUBundle and RepairDUBundle through the real
// exports, installing the packages the build makes with Windows Installer.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include <windows.h>
#include <msi.h>
#include <shlobj.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "core/RollbackState.h"
#include "support/TestFiles.h"

#include "DuTestSupport.h"

namespace {
const std::wstring MachinePayload(L"\\VerrandDuMachine\\payload.txt");
const std::wstring KeepLogsLine(
    L"Environment var KORVAN_AX_INSTALL_keepMsiLogs is set to true - skipping MSI log deletion.");

class DuBundleActionTest : public ::testing::Test {
protected:
    void TearDown()
    {
        const wchar_t* products[] = { MachineProduct, UserProduct, RebootProduct, FailingProduct };
        for (const wchar_t* product : products)
            RemoveProduct(product);
    }

    RecordingContextPtr newContext(const RecordingContext::Values& arguments)
    {
        RecordingContextPtr context = RecordingContext::Create(arguments);
        context->properties[L"$logs.folder"] = logs.path() + L"\\";
        context->properties[L"$du.id"] = L"core";
        return context;
    }

    int install(const RecordingContext::Values& arguments)
    {
        context = newContext(arguments);
        return CallAction("InstallDUBundle", context);
    }

    int uninstall(const RecordingContext::Values& arguments)
    {
        context = newContext(arguments);
        return CallAction("UnInstallDUBundle", context);
    }

    std::wstring installLog() const { return logs.file(L"InstallDU-core.log"); }
    std::wstring uninstallLog() const { return logs.file(L"UninstallDU-core.log"); }
    // The package is 32-bit: its files go to the 32-bit program files folder.
    std::wstring machinePayload() const { return KnownFolder(CSIDL_PROGRAM_FILESX86) + MachinePayload; }

    ScopedTempDir logs;
    RecordingContextPtr context;
};
}

TEST_F(DuBundleActionTest, InstallsSilentlyAndRemovesTheLogOfASuccess)
{
    struct Case {
        const wchar_t* perUser;
        const wchar_t* commandLine;
        bool unrecognised;
    };
    const Case cases[] = {
        { L" Yes", L"Calling msiexec with parameters:  REBOOT=\"ReallySuppress\"  ALLUSERS=\"\" ", false },
        { L"0", L"Calling msiexec with parameters:  REBOOT=\"ReallySuppress\"  ALLUSERS=1 ", false },
        { L"", L"Calling msiexec with parameters:  REBOOT=\"ReallySuppress\" ", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.perUser));
        ASSERT_EQ(0, install({ { L"DUBundle", PackagePath(L"machine") }, { L"PerUser", c.perUser } }));
        EXPECT_TRUE(ProductInstalled(MachineProduct));
        EXPECT_TRUE(PathExists(machinePayload()));
        EXPECT_FALSE(PathExists(installLog()));
        EXPECT_FALSE(context->PropertySet(L"InstallNeedsReboot"));

        std::vector<std::wstring> expected = { L"Log file name: " + installLog() };
        if (c.unrecognised) {
            expected.push_back(L"Unrecognized value for PerUser argument: ");
            expected.push_back(L"  Omitting ALLUSERS property.");
        }
        expected.push_back(c.commandLine);
        EXPECT_EQ(expected, context->Texts());
        EXPECT_EQ(c.unrecognised ? 2u : 0u, context->Texts(4).size());

        ASSERT_EQ(0, uninstall({ { L"Guid", MachineProduct } }));
        EXPECT_FALSE(ProductInstalled(MachineProduct));
        EXPECT_FALSE(PathExists(machinePayload()));
        EXPECT_EQ(std::vector<std::wstring>{ L"Log file name: " + uninstallLog() }, context->Texts());
        EXPECT_FALSE(PathExists(uninstallLog()));
    }
}

TEST_F(DuBundleActionTest, PropsAndPerUserReachTheInstaller)
{
    ScopedTempDir target;
    const std::wstring props = L"INSTALLDIR=\"" + target.path() + L"\\App\"";
    ASSERT_EQ(0, install({ { L"Props", props }, { L"DUBundle", PackagePath(L"machine") }, { L"PerUser", L"no" } }));
    EXPECT_TRUE(context->HasLine(
        L"Calling msiexec with parameters: " + props + L" REBOOT=\"ReallySuppress\"  ALLUSERS=1 ", 2));
    EXPECT_TRUE(PathExists(target.file(L"App\\payload.txt")));

    ASSERT_EQ(0, install({ { L"DUBundle", PackagePath(L"user") }, { L"PerUser", L"TRUE" } }));
    EXPECT_TRUE(ProductInstalled(UserProduct));
    EXPECT_TRUE(PathExists(KnownFolder(CSIDL_LOCAL_APPDATA) + L"\\VerrandDuUser\\payload.txt"));
    wchar_t state[16] = { 0 };
    DWORD size = 16;
    EXPECT_EQ(0u, MsiGetProductInfoExW(UserProduct, 0, MSIINSTALLCONTEXT_USERUNMANAGED, INSTALLPROPERTY_PRODUCTSTATE,
                                       state, &size));
}

TEST_F(DuBundleActionTest, PackageComesFromTheUnitFolderWhenNotGiven)
{
    ScopedTempDir unit;
    ASSERT_TRUE(CopyFileW(PackagePath(L"machine").c_str(), unit.file(L"content.msi").c_str(), FALSE));
    context = newContext({ { L"PerUser", L"false" } });
    context->properties[L"$du.dir"] = unit.path() + L"\\";
    ASSERT_EQ(0, CallAction("InstallDUBundle", context));
    EXPECT_EQ(L"DUBundle arg is not in the seed file. Getting it from special property bank...",
              context->lines.at(0).text);
    EXPECT_EQ(2, context->lines[0].level);
    EXPECT_TRUE(ProductInstalled(MachineProduct));
}

TEST_F(DuBundleActionTest, KeepLogsSwitchSetAfterStartIsHonoured)
{
    {
        ScopedEnvironmentVariable keep(L"KORVAN_AX_INSTALL_keepMsiLogs", L" On ");
        ASSERT_EQ(0, install({ { L"DUBundle", PackagePath(L"machine") }, { L"PerUser", L"0" } }));
        EXPECT_TRUE(PathExists(installLog()));
        EXPECT_TRUE(context->HasLine(KeepLogsLine, 2));
        ASSERT_EQ(0, uninstall({ { L"DUBundle", PackagePath(L"machine") } }));
        EXPECT_FALSE(ProductInstalled(MachineProduct));
        EXPECT_TRUE(PathExists(uninstallLog()));
        EXPECT_TRUE(context->HasLine(KeepLogsLine, 2));
    }
    ScopedEnvironmentVariable dropLogs(L"KORVAN_AX_INSTALL_keepMsiLogs", L"off");
    ASSERT_EQ(0, install({ { L"DUBundle", PackagePath(L"machine") }, { L"PerUser", L"0" } }));
    EXPECT_FALSE(PathExists(installLog()));
    EXPECT_FALSE(context->HasLine(KeepLogsLine));
}

TEST_F(DuBundleActionTest, RebootRequestIsPublishedAndKeepsTheLog)
{
    ASSERT_EQ(0, install({ { L"DUBundle", PackagePath(L"reboot") }, { L"PerUser", L"0" } }));
    std::wstring value;
    EXPECT_TRUE(context->PropertySet(L"InstallNeedsReboot", &value));
    EXPECT_EQ(L"true", value);
    EXPECT_TRUE(ProductInstalled(RebootProduct));
    EXPECT_TRUE(PathExists(installLog()));
    EXPECT_TRUE(context->Texts(4).empty());
}

TEST_F(DuBundleActionTest, FailedInstallationIsReportedAndKeepsTheLog)
{
    ASSERT_EQ(1, install({ { L"DUBundle", PackagePath(L"failing") }, { L"PerUser", L"0" } }));
    EXPECT_EQ(std::vector<std::wstring>{ L"Error code from call to Windows Installer API: 1603" }, context->Texts(4));
    EXPECT_FALSE(ProductInstalled(FailingProduct));
    EXPECT_TRUE(PathExists(installLog()));
    EXPECT_FALSE(context->PropertySet(L"InstallNeedsReboot"));
}

TEST_F(DuBundleActionTest, RemovesByProductCodeInAnyBraceFormOrByPackage)
{
    const std::wstring code(MachineProduct);
    const std::wstring forms[] = { code, code.substr(1, code.size() - 2), code.substr(0, code.size() - 1) };
    for (const std::wstring& form : forms) {
        ASSERT_EQ(0, install({ { L"DUBundle", PackagePath(L"machine") }, { L"PerUser", L"0" } }));
        EXPECT_EQ(0, uninstall({ { L"Guid", form } })) << Narrow(form);
        EXPECT_FALSE(ProductInstalled(MachineProduct)) << Narrow(form);
    }

    ASSERT_EQ(0, install({ { L"DUBundle", PackagePath(L"machine") }, { L"PerUser", L"0" } }));
    EXPECT_EQ(0, uninstall({ { L"DUBundle", PackagePath(L"machine") } }));
    EXPECT_FALSE(ProductInstalled(MachineProduct));
    EXPECT_FALSE(PathExists(machinePayload()));

    // The product code wins over a package that does not even exist.
    ASSERT_EQ(0, install({ { L"DUBundle", PackagePath(L"machine") }, { L"PerUser", L"0" } }));
    EXPECT_EQ(0, uninstall({ { L"Guid", code }, { L"DUBundle", logs.file(L"missing.msi") } }));
    EXPECT_TRUE(context->HasLine(L"Both DUBundle and GUID are specified.  Defaulting to GUID.", 2));
    EXPECT_FALSE(ProductInstalled(MachineProduct));
}

TEST_F(DuBundleActionTest, RemovalFailures)
{
    EXPECT_EQ(1, uninstall({}));
    ASSERT_EQ(1u, context->lines.size());
    EXPECT_EQ(4, context->lines[0].level);
    EXPECT_EQ(L"Neither DUBundle nor GUID are specified.", context->lines[0].text);

    EXPECT_EQ(1, uninstall({ { L"Guid", MachineProduct } }));
    EXPECT_EQ(std::vector<std::wstring>{ L"Error code from call to Windows Installer API: 1605" }, context->Texts(4));
    EXPECT_TRUE(PathExists(uninstallLog()));
}

TEST_F(DuBundleActionTest, RepairDoesNothing)
{
    context = RecordingContext::Create();
    EXPECT_EQ(0, CallAction("RepairDUBundle", context));
    EXPECT_TRUE(context->lines.empty());
    EXPECT_TRUE(context->argumentsRead.empty());
    EXPECT_TRUE(context->propertiesSet.empty());
}

// The twin removes what the step installed, never what was there before.
TEST_F(DuBundleActionTest, TwinRemovesOnlyAProductTheStepInstalled)
{
    struct Case {
        const char* what;
        bool installedBefore;
        bool retried;
        bool removed;
    };
    const Case cases[] = {
        { "a fresh install", false, false, true },
        // The retried step finds the product there, and keeps the first
        // run's word that it was not.
        { "a fresh install, retried", false, true, true },
        { "a product there before", true, false, false },
    };
    ScopedTempDir state;
    const std::wstring folder = state.path() + L"\\step-1";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.installedBefore) {
            ASSERT_EQ(0, install({ { L"DUBundle", PackagePath(L"machine") }, { L"PerUser", L"0" } }));
        }
        const RecordingContext::Values step = { { L"DUBundle", PackagePath(L"machine") },
                                                { L"PerUser", L"0" },
                                                { L"$action.invocationdata.dir", folder } };
        ASSERT_EQ(0, install(step));
        if (c.retried) {
            ASSERT_EQ(0, install(step));
            EXPECT_TRUE(context->HasLine(L"Keeping the rollback state of an earlier run: " + folder + L"\\du-" +
                                             StateKey(MachineProduct),
                                         2));
        }
        ASSERT_TRUE(ProductInstalled(MachineProduct));

        context = newContext(step);
        EXPECT_EQ(0, CallAction("RollbackInstallDUBundle", context));
        EXPECT_TRUE(context->Texts(4).empty());
        EXPECT_EQ(!c.removed, ProductInstalled(MachineProduct));
        EXPECT_EQ(!c.removed, PathExists(machinePayload()));
        if (!c.removed) {
            EXPECT_TRUE(context->HasLine(
                L"The product " + std::wstring(MachineProduct) + L" was installed before InstallDUBundle ran; it stays",
                2));
        }
        // The state is consumed: a second rollback has nothing to do.
        EXPECT_EQ(0, CallAction("RollbackInstallDUBundle", context));
        EXPECT_TRUE(context->HasLine(L"Nothing to rollback", 2));
        EXPECT_EQ(!c.removed, ProductInstalled(MachineProduct));
        RemoveProduct(MachineProduct);
    }
}

TEST_F(DuBundleActionTest, FailedInstallLeavesNoStateAndAPackageWithoutCodeIsRefused)
{
    ScopedTempDir state;
    const std::wstring folder = state.path() + L"\\step-1";
    ASSERT_EQ(1, install({ { L"DUBundle", PackagePath(L"failing") },
                           { L"PerUser", L"0" },
                           { L"$action.invocationdata.dir", folder } }));
    EXPECT_TRUE(TreeContent(folder).empty());

    // Without a product code to keep the state under, nothing is installed.
    const std::wstring notAPackage = state.file(L"content.msi");
    WriteBytes(notAPackage, "not a package");
    EXPECT_EQ(1, install({ { L"DUBundle", notAPackage }, { L"PerUser", L"0" }, { L"$action.invocationdata.dir", folder } }));
    const std::vector<std::wstring> errors = context->Texts(4);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(0u, errors[0].find(L"InstallDUBundle: couldn't open the package " + notAPackage + L" (")) << Narrow(errors[0]);
    EXPECT_FALSE(context->HasLine(L"Calling msiexec with parameters:  REBOOT=\"ReallySuppress\"  ALLUSERS=1 "));
}
