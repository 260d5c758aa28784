// The MSI action context through a real package under Wine's msiexec: the
// test actions show what an immediate and a deferred action are served and
// keep, a commit action runs after success, a late failure (a status or an
// exception) rolls back, and the deployment-unit actions refuse. A real
// action writes to the process-wide install log.
#include <gtest/gtest.h>

#include "MsiexecRun.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kContextProduct = L"{5A3C2E10-7B4D-4E8F-9A61-2C3D4E5F6A01}";

class ContextPackage : public testing::Test {
protected:
    void SetUp()
    {
        RemoveProduct(kContextProduct);
        for (const wchar_t* folder : { L"first", L"formatted", L"commit" })
            CreateDirectoryW(markers.file(folder).c_str(), 0);
    }
    void TearDown() { RemoveProduct(kContextProduct); }

    MsiexecResult Install(const std::wstring& properties = L"")
    {
        return RunMsiexec(L"/i \"" + TestPackage(L"msi-packages\\context.msi") + L"\" MARKERDIR=\"" +
                          markers.path() + L"\" " + properties);
    }
    bool Marked(const wchar_t* folder) const { return PathExists(markers.file(folder) + L"\\marker"); }

    ScopedTempDir markers;
};
}

TEST_F(ContextPackage, ImmediateAndScriptActionsGetTheirArgumentsAndKeepWhatTheyMay)
{
    const MsiexecResult result = Install();
    ASSERT_EQ(0u, result.exitCode) << result.log;
    const char* const lines[] = {
        // Immediate: the argument comes from the property; every level is an information line.
        "Verrand ShowEverything level 2: info from property me",
        "Verrand ShowEverything level 3: a warning",
        "Verrand ShowEverything level 4: an error",
        "Verrand ShowEverything level 7: an odd level",
        // Deferred: only CustomActionData, ";;" and "=" kept in the value; its property is not kept.
        "Verrand ShowEverything level 2: info from deferred;me=too",
        "Verrand ShowEverything level 2: Property Formatted = ",
        // The process-wide install log reaches the package's log too.
        "Verrand TranslateString install log: ",
        "Error: UI Text file doesn't exists: C:\\nowhere\\uitext.xml",
        // Refused inside the installer session, without waiting for the installer mutex.
        "Verrand InstallDUBundle level 4: InstallDUBundle: a deployment unit cannot be installed or removed from "
        "inside a Windows Installer session",
        "Verrand UnInstallDUBundle level 4: UnInstallDUBundle: a deployment unit cannot be installed or removed "
        "from inside a Windows Installer session",
    };
    for (const char* line : lines)
        EXPECT_TRUE(result.Logged(line)) << line;
    EXPECT_EQ(result.log.find(" not kept: "), result.log.rfind(" not kept: ")) << "only the deferred call";
    // The immediate action's property (formatted by the installer) satisfied a later condition.
    EXPECT_TRUE(Marked(L"formatted"));
    EXPECT_TRUE(Marked(L"first"));
    EXPECT_TRUE(Marked(L"commit"));
    EXPECT_FALSE(result.Logged("marker present for first")) << "no rollback after success";
    EXPECT_TRUE(ProductInstalled(kContextProduct));
}

TEST_F(ContextPackage, LateFailureFailsTheInstallationAndRollsBack)
{
    struct Row {
        const wchar_t* failWith;
        const char* failureLine;
    };
    const Row rows[] = {
        { L"status", "Verrand Touch level 2: touched late" },
        // A property's ";" would have made an argument of its own: refused by place, not by text.
        { L"data SMUGGLED=\"late;pw1\"",
          "Verrand Touch level 4: Touch: CustomActionData piece 3 has no \"=\"; the action is not run" },
        // The exception is caught at the entry point; the installer process lives on to roll back.
        { L"throw", "Verrand ThrowStandard level 4: ThrowStandard failed with an exception: deliberate failure" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.failWith));
        const MsiexecResult result = Install(std::wstring(L"FAILWITH=") + row.failWith);
        EXPECT_EQ(1603u, result.exitCode);
        EXPECT_TRUE(result.Logged(row.failureLine)) << row.failureLine;
        // The later twin could not finish; the earlier one ran all the same.
        EXPECT_TRUE(result.Logged("Verrand Touch level 4: Touch could not give back everything (status 1); the "
                                  "rollback goes on with the other twins"));
        EXPECT_TRUE(result.Logged("Verrand ReportMarker level 2: marker present for first"));
        EXPECT_FALSE(Marked(L"commit"));
        EXPECT_FALSE(ProductInstalled(kContextProduct));
        DeleteFileW((markers.file(L"first") + L"\\marker").c_str());
    }
}
