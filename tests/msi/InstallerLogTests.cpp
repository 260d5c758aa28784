// Lines in the package's log: the installer formats a message's fields as
// well as its template, so each line goes in as a literal that it turns back
// into the line itself; and a real installation shows the lines of its
// actions as written, with the secret masked in every one of them.
#include <gtest/gtest.h>

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include "MsiexecRun.h"
#include "msi/InstallerSession.h"
#include "support/TestFiles.h"

namespace {
// The product of the plan packages' first payload.
const wchar_t* const kPayloadProduct = L"{5A3C2E10-7B4D-4E8F-9A61-2C3D4E5F6B01}";
const char* const kReadablePart = "Zq7";

// The text as the installer writes it into the log: a record with the
// template "[1]" formatted in a session of a real package.
std::wstring formattedInSession(MSIHANDLE session, const std::wstring& field)
{
    ScopedMsiHandle record(MsiCreateRecord(1));
    MsiRecordSetStringW(record.get(), 0, L"[1]");
    MsiRecordSetStringW(record.get(), 1, field.c_str());
    wchar_t buffer[512] = { 0 };
    DWORD size = 512;
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiFormatRecordW(session, record.get(), buffer, &size));
    return std::wstring(buffer, size);
}
}

TEST(InstallerLog, EveryLineComesOutAsWritten)
{
    MsiSetInternalUI(INSTALLUILEVEL_NONE, 0);
    MSIHANDLE opened = 0;
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
              MsiOpenPackageW(TestPackage(L"msi-packages\\context.msi").c_str(), &opened));
    ScopedMsiHandle session(opened);
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiSetPropertyW(session.get(), L"LICENSEKEY", L"Zq7;w=9Kx"));
    const wchar_t* const lines[] = {
        // A field number and a list in brackets, which the installer eats as field and property.
        L"RunCommand: Exit code [5]",
        L"RunCommand: Command returned result [5], which is not in SuccessCodes [0;3010]",
        // A property's name in a command's output pulls in no property.
        L"RunCommand: > [LICENSEKEY] {[LICENSEKEY]}",
        // Groups, escapes and the installer's other forms stay text.
        L"{} {{x}} {a}b}", L"[~] [%PATH] [#file] [$component] [!file]",
        L"[\\[] a\\[b] \\ C:\\x\\", L"[[1]] ][ [ ] { }",
    };
    for (const wchar_t* line : lines) {
        EXPECT_EQ(line, formattedInSession(session.get(), InstallerLiteral(line))) << Narrow(line);
    }
    // Without the literal the installer does what the lines must not let it.
    EXPECT_EQ(L"key Zq7;w=9Kx", formattedInSession(session.get(), L"key [LICENSEKEY]"));
}

// Under msiexec: a plan's RunCommand steps, with brackets in the command
// line and its output, a secret in the command line and in an argument the
// runner reports, and a failing SuccessCodes check that ends the
// installation.
TEST(InstallerLog, ARealInstallationShowsItsLinesAsWrittenAndMasked)
{
    RemoveProduct(kPayloadProduct);
    const MsiexecResult result = RunMsiexec(L"/i \"" + TestPackage(L"msi-packages\\plan-secret.msi") +
                                            L"\" \"LICENSEKEY=Zq7;w=\x00E4" L"9Kx\"");
    EXPECT_EQ(1603u, result.exitCode);
    const char* const expected[] = {
        "Verrand RunCommand level 2: RunCommand: Get CmdLine: cmd /c echo [LICENSEKEY] \"********\"",
        "Verrand RunCommand level 3: RunCommand: MaxRetriesAllowed [********] is not a number: 0 is used",
        "Verrand RunCommand level 2: RunCommand: > [LICENSEKEY] \"********\"",
        "Verrand RunCommand level 2: RunCommand: Exit code [0]",
        "Verrand RunCommand level 2: RunCommand: Exit code [5]",
        "Verrand RunCommand level 4: RunCommand: Command returned result [5], which is not in SuccessCodes [0;3010]",
    };
    for (const char* line : expected)
        EXPECT_TRUE(result.Logged(line)) << line << "\n" << result.log;
    // Wine lists every property, hidden ones too, at the end of the log:
    // only the installer's own lines may show the key.
    for (const std::string& line : result.LinesWith(kReadablePart))
        EXPECT_EQ(std::string::npos, line.find("Verrand ")) << line;
    RemoveProduct(kPayloadProduct);
}
