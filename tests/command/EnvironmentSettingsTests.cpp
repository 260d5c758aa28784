// Environment settings applied to this (the host's) process, read back with
// GetEnvironmentVariableW, and the lines they log.
#include <gtest/gtest.h>

#include <windows.h>

#include "actions/command/EnvironmentSettings.h"
#include "core/SecretMask.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
const std::wstring kUnset = L"<unset>";

std::wstring variable(const std::wstring& name)
{
    SetLastError(ERROR_SUCCESS);
    const DWORD size = GetEnvironmentVariableW(name.c_str(), 0, 0);
    if (size == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? kUnset : std::wstring();
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name.c_str(), &value[0], size);
    value.resize(length);
    return value;
}

void setVariable(const std::wstring& name, const std::wstring& value)
{
    ASSERT_TRUE(SetEnvironmentVariableW(name.c_str(), value.c_str()));
}

void unsetVariable(const std::wstring& name)
{
    SetEnvironmentVariableW(name.c_str(), 0);
}

class EnvironmentSettingsTest : public ::testing::Test {
protected:
    void apply(const std::wstring& settings, const SecretMask& mask = SecretMask(L"", false))
    {
        context = RecordingContext::Create();
        ApplyEnvSettings(*context, settings, mask);
    }

    RecordingContextPtr context;
};
}

TEST_F(EnvironmentSettingsTest, AssignsInTextOrderAndReportsExistingValues)
{
    unsetVariable(L"VT_A");
    setVariable(L"VT_B", L"old");
    apply(L"VT_A=1|VT_B=2");
    EXPECT_EQ(L"1", variable(L"VT_A"));
    EXPECT_EQ(L"2", variable(L"VT_B"));
    const std::vector<std::wstring> expected = {
        L"  GOING TO SET VT_A = [1]",
        L"  EXISTING     VT_B = [old]",
        L"  GOING TO SET VT_B = [2]",
    };
    EXPECT_EQ(expected, context->Texts(2));
    EXPECT_EQ(expected.size(), context->lines.size());
}

TEST_F(EnvironmentSettingsTest, PrependPutsTheValueInFrontOnce)
{
    setVariable(L"VT_PATH", L"C:\\windows;C:\\bin");
    apply(L"VT_PATH+C:\\tools;");
    EXPECT_EQ(L"C:\\tools;C:\\windows;C:\\bin", variable(L"VT_PATH"));
    EXPECT_TRUE(context->HasLine(L"  EXISTING     VT_PATH = [C:\\windows;C:\\bin]", 2));
    EXPECT_TRUE(context->HasLine(L"  GOING TO SET VT_PATH = [C:\\tools;C:\\windows;C:\\bin]", 2));

    // Already there as a whole entry (case-sensitive): nothing changes.
    apply(L"VT_PATH+C:\\bin");
    EXPECT_EQ(L"C:\\tools;C:\\windows;C:\\bin", variable(L"VT_PATH"));
    const std::vector<std::wstring> expected = {
        L"  EXISTING     VT_PATH = [C:\\tools;C:\\windows;C:\\bin]",
        L"  NO ACTION IS TAKEN BECAUSE [C:\\bin] IS ALREADY IN [C:\\tools;C:\\windows;C:\\bin]",
    };
    EXPECT_EQ(expected, context->Texts());
    apply(L"VT_PATH+c:\\BIN;");
    EXPECT_EQ(L"c:\\BIN;C:\\tools;C:\\windows;C:\\bin", variable(L"VT_PATH"));

    // Part of a longer entry is not there: C:\h1 goes in front of C:\h11.
    setVariable(L"VT_PATH", L"C:\\h11;C:\\x\\C:\\h1x");
    apply(L"VT_PATH+C:\\h1");
    EXPECT_EQ(L"C:\\h1C:\\h11;C:\\x\\C:\\h1x", variable(L"VT_PATH"));
    setVariable(L"VT_PATH", L"C:\\x;C:\\h1;;");
    apply(L"VT_PATH+C:\\h1;|VT_PATH+C:\\h1");
    EXPECT_EQ(L"C:\\x;C:\\h1;;", variable(L"VT_PATH"));

    // Two prepends to one variable: the later one ends up in front.
    unsetVariable(L"VT_LIST");
    apply(L"VT_LIST+a;|VT_LIST+b;");
    EXPECT_EQ(L"b;a;", variable(L"VT_LIST"));
}

TEST_F(EnvironmentSettingsTest, PrependToUndefinedVariableAssigns)
{
    unsetVariable(L"VT_NEW");
    apply(L"VT_NEW+C:\\tools;");
    EXPECT_EQ(L"C:\\tools;", variable(L"VT_NEW"));
    EXPECT_EQ((std::vector<std::wstring>{ L"  GOING TO SET VT_NEW = [C:\\tools;]" }), context->Texts());
}

TEST_F(EnvironmentSettingsTest, UnrecognisedSettingsAreSkippedWithAWarning)
{
    for (const wchar_t* name : { L"VT_S1", L"VT_S2", L"VT_S3" })
        unsetVariable(name);
    apply(L"VT_S1=a=b|VT_S2+a+b|VT_S3|||");
    EXPECT_EQ(kUnset, variable(L"VT_S1"));
    EXPECT_EQ(kUnset, variable(L"VT_S2"));
    EXPECT_EQ(kUnset, variable(L"VT_S3"));
    // Empty pieces mean nothing and say nothing.
    EXPECT_EQ((std::vector<std::wstring>{ L"EnvSettings piece 1 is neither NAME=VALUE nor NAME+VALUE: skipped",
                                          L"EnvSettings piece 2 is neither NAME=VALUE nor NAME+VALUE: skipped",
                                          L"EnvSettings piece 3 is neither NAME=VALUE nor NAME+VALUE: skipped" }),
              context->Texts(3));
    EXPECT_EQ(3u, context->lines.size());
}

TEST_F(EnvironmentSettingsTest, EqualsSignMakesAnAssignmentAndBlanksBelongToNames)
{
    setVariable(L"VT_PLUS", L"old");
    apply(L"VT_PLUS=a+b|VT_BLANK = v");
    EXPECT_EQ(L"a+b", variable(L"VT_PLUS"));
    EXPECT_EQ(L" v", variable(L"VT_BLANK "));
    EXPECT_EQ(kUnset, variable(L"VT_BLANK"));
    EXPECT_TRUE(context->HasLine(L"  GOING TO SET VT_BLANK  = [ v]", 2));
}

TEST_F(EnvironmentSettingsTest, EmptyValueAssignsTheEmptyText)
{
    setVariable(L"VT_CLEAR", L"x");
    apply(L"VT_CLEAR=");
    EXPECT_EQ(L"", variable(L"VT_CLEAR"));
    EXPECT_TRUE(context->HasLine(L"  GOING TO SET VT_CLEAR = []", 2));
    // A variable that holds the empty text can be set again.
    apply(L"VT_CLEAR=y");
    EXPECT_EQ(L"y", variable(L"VT_CLEAR"));
    EXPECT_EQ((std::vector<std::wstring>{ L"  GOING TO SET VT_CLEAR = [y]" }), context->Texts());
}

TEST_F(EnvironmentSettingsTest, LongCurrentValueIsReadCompletely)
{
    const std::wstring big(5000, L'x');
    setVariable(L"VT_BIG", big + L"end");
    apply(L"VT_BIG+front;");
    EXPECT_EQ(L"front;" + big + L"end", variable(L"VT_BIG"));
    EXPECT_TRUE(context->HasLine(L"  EXISTING     VT_BIG = [" + big + L"end]", 2));

    // The boundary: 4095 characters fit the first buffer, 4096 do not.
    for (size_t length : { 4095u, 4096u }) {
        setVariable(L"VT_EDGE", std::wstring(length, L'e'));
        // "e" is no whole entry of "eee...": it goes in front, then "f".
        apply(L"VT_EDGE+e|VT_EDGE+f");
        EXPECT_EQ(L"fe" + std::wstring(length, L'e'), variable(L"VT_EDGE")) << length;
    }
}

TEST_F(EnvironmentSettingsTest, FailedSettingIsReportedAndTheNextStillApplied)
{
    unsetVariable(L"VT_AFTER");
    apply(L"=v|VT_AFTER=1");
    EXPECT_EQ(L"1", variable(L"VT_AFTER"));
    const std::vector<std::wstring> errors = context->Texts(4);
    ASSERT_EQ(2u, errors.size());
    EXPECT_EQ(0u, errors[0].find(L"SetEnvironmentVariable failed ("));
    EXPECT_EQ(L")\n", errors[0].substr(errors[0].size() - 2));
    EXPECT_EQ(L"FAILS TO SET  = v", errors[1]);
}

TEST_F(EnvironmentSettingsTest, SecretIsMaskedInEveryLineButNotInTheEnvironment)
{
    setVariable(L"VT_SECRET", L"old-s3cret");
    apply(L"VT_SECRET=new;s3cret|VT_SECRET+s3cret|=s3cret", SecretMask(L"s3cret", false));
    EXPECT_EQ(L"new;s3cret", variable(L"VT_SECRET"));
    for (const std::wstring& line : context->Texts())
        EXPECT_EQ(std::wstring::npos, line.find(L"s3cret")) << Narrow(line);
    EXPECT_TRUE(context->HasLine(L"  EXISTING     VT_SECRET = [old-********]", 2));
    EXPECT_TRUE(context->HasLine(L"  GOING TO SET VT_SECRET = [new;********]", 2));
    EXPECT_TRUE(context->HasLine(L"  NO ACTION IS TAKEN BECAUSE [********] IS ALREADY IN [new;********]", 2));
    EXPECT_TRUE(context->HasLine(L"FAILS TO SET  = ********", 4));
}
