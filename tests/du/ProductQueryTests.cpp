// The product queries: default install location, patch level and
// host-formatted strings.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include <Poco/Exception.h>

#include "actions/du/PatchLevel.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "DuTestSupport.h"

namespace {
const wchar_t* const CurrentVersion = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

RecordingContextPtr locationQuery(const std::wstring& use64Bit, const std::wstring& perUser)
{
    RecordingContextPtr context = RecordingContext::Create(
        { { L"InstallFolderName", L"Suite" }, { L"PropertyName", L"SUITEDIR" }, { L"Use64BitLocation", use64Bit },
          { L"PerUserInstall", perUser } });
    EXPECT_EQ(0, CallAction("GetProductOSDefaultInstallLocation", context));
    return context;
}

std::wstring published(const RecordingContextPtr& context, const std::wstring& name)
{
    std::wstring value;
    EXPECT_TRUE(context->PropertySet(name, &value)) << Narrow(name);
    return value;
}

// The host's --json events of one kind.
std::vector<nlohmann::json> hostEvents(const std::string& output, const std::string& kind)
{
    std::vector<nlohmann::json> events;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
        if (event.is_object() && event.value("event", "") == kind)
            events.push_back(event);
    }
    return events;
}

nlohmann::json hostEvent(const std::string& kind, const std::map<std::string, std::string>& fields)
{
    nlohmann::json event(fields);
    event["event"] = kind;
    return event;
}

// Restores the 64-bit ProgramFilesDir a test changes.
class ProgramFilesDir64 : public ::testing::Test {
protected:
    void SetUp() { original = RegGetText(HKEY_LOCAL_MACHINE, CurrentVersion, L"ProgramFilesDir", KEY_WOW64_64KEY); }
    void TearDown() { RegSetText(HKEY_LOCAL_MACHINE, CurrentVersion, L"ProgramFilesDir", original, KEY_WOW64_64KEY); }
    std::wstring original;
};
}

TEST_F(ProgramFilesDir64, SixtyFourBitLocationComesFromTheRegistry)
{
    RegSetText(HKEY_LOCAL_MACHINE, CurrentVersion, L"ProgramFilesDir", L"D:\\Apps64", KEY_WOW64_64KEY);
    for (const wchar_t* word : { L"Yes", L" tRUE\t", L"1" }) {
        RecordingContextPtr context = locationQuery(word, L"true");
        EXPECT_EQ(L"D:\\Apps64\\Suite\\", published(context, L"SUITEDIR")) << Narrow(word);
        EXPECT_TRUE(context->lines.empty());
    }

    HKEY key = 0;
    ASSERT_EQ(0, RegOpenKeyExW(HKEY_LOCAL_MACHINE, CurrentVersion, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key));
    RegSetValueExW(key, L"ProgramFilesDir", 0, REG_SZ, 0, 0);
    RecordingContextPtr context = locationQuery(L"yes", L"");
    EXPECT_EQ(L"\\Suite\\", published(context, L"SUITEDIR"));
    EXPECT_TRUE(context->HasLine(L"ReadValueFromRegistry:: succeeded in retrieving value, but its value is empty.", 4));

    RegDeleteValueW(key, L"ProgramFilesDir");
    RegCloseKey(key);
    context = locationQuery(L"on", L"");
    EXPECT_EQ(L"\\Suite\\", published(context, L"SUITEDIR"));
    EXPECT_EQ(std::vector<std::wstring>{ L"ReadValueFromRegistry:: failed to query registry value to get value length." },
              context->Texts(4));
}

TEST(ProductQueries, ShellFolderLocationIsPerUserOnlyForExactlyTrue)
{
    EXPECT_EQ(KnownFolder(CSIDL_APPDATA) + L"\\Suite\\", published(locationQuery(L"", L"true"), L"SUITEDIR"));
    for (const wchar_t* perUser : { L"True", L" true", L"yes", L"" })
        EXPECT_EQ(KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Suite\\", published(locationQuery(L"no", perUser), L"SUITEDIR"));
}

TEST(ProductQueries, PatchLevelTable)
{
    struct Case {
        const wchar_t* product;
        const wchar_t* family;
        const wchar_t* level;
    };
    const Case cases[] = {
        { L"14.0.2.364", L"14.0.5.100", L"5" }, { L"14.0.1.10", L"14.0.0.3", L"1" },
        { L"14.0.1.10", L"14.0.3.0", L"3" },    { L"14.1.0.0", L"14.0.07.1", L"07" },
        { L"14.0.0.1", L"14.0.9.0", L"0" },     { L"14.0.2.364", L"", L"2" },
        { L"14..2", L"", L"" },                 { L"14.0.-1.0", L"1.2.4", L"4" },
        { L"", L"14.0.5.100", L"" },            { L"14.0.01", L"14.0.2", L"2" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.level, ProductPatchLevel(c.product, c.family)) << Narrow(c.product) << " " << Narrow(c.family);
    EXPECT_EQ(L"2", RevisionPart(L".14..2.", 1));
    EXPECT_EQ(L"", RevisionPart(L"14.0", 2));
}

TEST(ProductQueries, PatchLevelReadsInstalledRevisionsAndPublishesIt)
{
    RecordingContextPtr context = RecordingContext::Create(
        { { L"ProductDUID", L"core" }, { L"ProductFamilyDUID", L"family" }, { L"PropertyName", L"LEVEL" } },
        { { L"$du$core$installedrevision", L"14.0.2.364" }, { L"$du$family$installedrevision", L"14.0.5.100" } });
    EXPECT_EQ(0, CallAction("GetProductPatchLevel", context));
    EXPECT_EQ(L"5", published(context, L"LEVEL"));
    EXPECT_TRUE(context->lines.empty());

    context->properties[L"$du$core$installedrevision"] = L"14.x.2";
    context->propertiesSet.clear();
    EXPECT_THROW(CallAction("GetProductPatchLevel", context), Poco::SyntaxException);
    EXPECT_TRUE(context->propertiesSet.empty());
}

TEST(ProductQueries, HostFormatsAndReportsEscapedExceptions)
{
    ChildProcess format(L"dist\\verrand-host.exe",
                        L"--json --prop Who=World run ProductAction_FormatString \"StringToFormat=Hello [Who]!\"", true);
    EXPECT_EQ(0u, format.Wait());
    EXPECT_EQ(1u, hostEvents(format.output, "property").size()) << format.output;
    EXPECT_EQ(hostEvent("property", { { "name", "FormattedString" }, { "value", "Hello World!" } }),
              hostEvents(format.output, "property").at(0));

    ChildProcess patch(L"dist\\verrand-host.exe",
                       L"--json --prop $du$a$installedrevision=1.0.x run GetProductPatchLevel ProductDUID=a "
                       L"ProductFamilyDUID=a PropertyName=P",
                       true);
    EXPECT_EQ(3u, patch.Wait());
    EXPECT_TRUE(hostEvents(patch.output, "property").empty()) << patch.output;
    EXPECT_EQ(hostEvent("exception", { { "action", "GetProductPatchLevel" },
                                       { "what", "Syntax error: Not a valid integer: x" } }),
              hostEvents(patch.output, "exception").at(0));
}
