// docs/actions.md against the code: every exported action has its section,
// and each section's tables name exactly the arguments its action reads
// (found in the sources the library is built from), so no argument can land
// without its line and no line outlives its argument.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

#include <windows.h>

#include <gtest/gtest.h>

#include "core/ActionCatalogue.h"
#include "host/PlanFile.h"
#include "host/Reference.h"
#include "host/UsageFailure.h"
#include "QuotedLines.h"
#include "ReferenceInputs.h"
#include "SourceScan.h"
#include "support/TestFiles.h"

namespace {
// The actions of a .def file: "    Name=Symbol" lines after EXPORTS, up to
// the "; functions" line that begins the C interface's plain functions.
std::set<std::string> exportedActions(const std::string& definitions)
{
    std::set<std::string> actions;
    static const std::regex line("^\\s+(\\w+)=\\S+\\s*$");
    std::istringstream input(definitions);
    for (std::string text; std::getline(input, text) && text.compare(0, 11, "; functions") != 0;) {
        std::smatch match;
        if (std::regex_match(text, match, line))
            actions.insert(match[1]);
    }
    return actions;
}

// The names in the first column of the section's tables of arguments and of
// names read from the host. A name with "<" in it is a pattern the action
// fills in itself and is left out.
std::set<std::string> documentedNames(const std::string& sectionText)
{
    std::set<std::string> names;
    std::istringstream input(sectionText);
    bool inTable = false;
    bool namesTable = false;
    for (std::string line; std::getline(input, line);) {
        if (line.compare(0, 1, "|") != 0) {
            inTable = false;
            continue;
        }
        std::string cell = line.substr(1, line.find('|', 1) - 1);
        cell = cell.substr(cell.find_first_not_of(' '));
        cell = cell.substr(0, cell.find_last_not_of(' ') + 1);
        if (!inTable) {
            inTable = true;
            namesTable = cell == "argument" || cell == "from the host";
            continue;
        }
        if (!namesTable || cell.compare(0, 3, "---") == 0)
            continue;
        static const std::regex name("`([^`]+)`");
        for (std::sregex_iterator it(cell.begin(), cell.end(), name), end; it != end; ++it) {
            if ((*it)[1].str().find('<') == std::string::npos)
                names.insert((*it)[1]);
        }
    }
    return names;
}

std::string joined(const std::set<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::set<std::string> minus(const std::set<std::string>& left, const std::set<std::string>& right)
{
    std::set<std::string> result;
    std::set_difference(left.begin(), left.end(), right.begin(), right.end(), std::inserter(result, result.end()));
    return result;
}

class ReferenceAgainstCode : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        inputs = new ReferenceInputs(ReadReferenceInputs());
        reference = new Reference(ReadSourceFile(inputs->reference));
        exports = new std::set<std::string>(exportedActions(ReadSourceFile(inputs->definitions)));
        std::vector<SourceFile> sources;
        for (const std::string& path : inputs->sources)
            sources.push_back(SourceFile{ path, ReadSourceFile(path) });
        scan = new ArgumentScan(ScanArguments(sources));
    }

    std::set<std::string> sectionNames(const std::string& action) const
    {
        std::set<std::string> names;
        const ReferenceSection* section = reference->find(action);
        if (!section)
            return names;
        names = documentedNames(section->text);
        for (const std::string& title : section->includes) {
            if (const ReferenceSection* part = reference->find(title)) {
                const std::set<std::string> shared = documentedNames(part->text);
                names.insert(shared.begin(), shared.end());
            }
        }
        return names;
    }

    static ReferenceInputs* inputs;
    static Reference* reference;
    static std::set<std::string>* exports;
    static ArgumentScan* scan;
};
ReferenceInputs* ReferenceAgainstCode::inputs;
Reference* ReferenceAgainstCode::reference;
std::set<std::string>* ReferenceAgainstCode::exports;
ArgumentScan* ReferenceAgainstCode::scan;

TEST_F(ReferenceAgainstCode, EveryExportedActionHasOneSectionAndNoOtherActionHasOne)
{
    ASSERT_GT(exports->size(), 20u) << inputs->definitions;
    std::set<std::string> sections;
    for (const ReferenceSection& section : reference->sections()) {
        if (Reference::IsActionTitle(section.title)) {
            EXPECT_TRUE(sections.insert(section.title).second) << "two sections for " << section.title;
        }
    }
    EXPECT_EQ("", joined(minus(*exports, sections))) << "exported actions without a section";
    EXPECT_EQ("", joined(minus(sections, *exports))) << "sections of no exported action";

    // The scan sees the same actions the build exports, or it could not
    // vouch for their arguments.
    std::set<std::string> scanned;
    for (const auto& action : scan->actionArguments)
        scanned.insert(action.first);
    EXPECT_EQ(*exports, scanned);
}

TEST_F(ReferenceAgainstCode, EachSectionNamesExactlyTheArgumentsItsActionReads)
{
    EXPECT_EQ("", joined(scan->unknownConstants)) << "argument-name constants the scan could not resolve";
    for (const auto& action : scan->actionArguments) {
        if (!reference->find(action.first))
            continue;  // reported by the test above
        const std::set<std::string> documented = sectionNames(action.first);
        EXPECT_EQ("", joined(minus(action.second, documented)))
            << action.first << " reads these, and its section does not name them";
        EXPECT_EQ("", joined(minus(documented, action.second)))
            << action.first << "'s section names these, and the action does not read them";
    }
}

TEST_F(ReferenceAgainstCode, EverySectionHasItsSentenceStatusExampleAndParts)
{
    for (const ReferenceSection& section : reference->sections()) {
        for (const std::string& title : section.includes)
            EXPECT_TRUE(reference->find(title)) << section.title << " includes a missing part: " << title;
        if (!Reference::IsActionTitle(section.title))
            continue;
        const std::string summary = reference->Summary(section.title);
        EXPECT_TRUE(!summary.empty() && summary.back() == '.' &&
                    summary.find(". ") == std::string::npos)
            << section.title << ": the section begins with one sentence, got: " << summary;
        for (const char* part : { "**Status.**", "**Example.**", "CustomActionData" })
            EXPECT_NE(std::string::npos, section.text.find(part)) << section.title << " has no " << part;
    }
}

// The catalogue against the exports and the reference: a row for every
// exported action and none for another, every twin exported, and each
// row's sentence the one its section begins with.
TEST_F(ReferenceAgainstCode, TheCatalogueHasARowForEachExportAndEveryTwinIsExported)
{
    std::size_t count = 0;
    const ActionFacts* rows = CatalogueRows(count);
    std::set<std::string> named;
    for (std::size_t i = 0; i < count; ++i) {
        const ActionFacts& row = rows[i];
        const std::string name = Narrow(row.name);
        EXPECT_TRUE(named.insert(name).second) << "two rows for " << name;
        EXPECT_EQ(reference->Summary(name), Narrow(row.sentence)) << name << ": the row's sentence";
        if (!*row.twin)
            continue;
        const std::string twin = Narrow(row.twin);
        EXPECT_TRUE(exports->count(twin)) << name << "'s twin " << twin << " is not exported";
        const ActionFacts* twinRow = FindActionFacts(row.twin);
        ASSERT_TRUE(twinRow) << twin;
        EXPECT_TRUE(row.changesMachine) << name << " has a twin but changes nothing";
        EXPECT_EQ(L"", std::wstring(twinRow->twin)) << twin << " is a twin with a twin of its own";
        EXPECT_EQ(row.keepsState, twinRow->keepsState) << name << " and its twin share the state folder";
        EXPECT_EQ(row.package == PackageRuns, twinRow->package == PackageRuns) << name << " and its twin";
        EXPECT_EQ(row.runsAs, twinRow->runsAs) << name << " and its twin run as the same account";
        EXPECT_EQ(row.name, TwinOf(row.twin));
    }
    EXPECT_EQ("", joined(minus(*exports, named))) << "exported actions without a catalogue row";
    EXPECT_EQ("", joined(minus(named, *exports))) << "catalogue rows of no exported action";
}

// Quoted texts that are no log line: names and forms the reference shows.
const char* const kNotLines[] = {
    "Program Files (x86)",     // a folder's name
    "NAME=\"value\" NAME2=value",  // the form of InstallDUBundle's Props
};

// Every line an action's section quotes is text the code writes: each fixed
// piece of it is found in the literals of the library and its siblings or
// in a test's expected lines.
TEST_F(ReferenceAgainstCode, EveryQuotedLineIsTextTheCodeWrites)
{
    std::vector<std::string> literals;
    for (const std::vector<std::string>* paths : { &inputs->sources, &inputs->otherSources }) {
        for (const std::string& path : *paths) {
            const std::vector<std::string> texts = LiteralTexts(ReadSourceFile(path));
            literals.insert(literals.end(), texts.begin(), texts.end());
        }
    }
    ASSERT_FALSE(inputs->otherSources.empty());
    const LiteralText code(literals);
    std::size_t checked = 0;
    for (const ReferenceSection& section : reference->sections()) {
        for (const std::string& span : CodeSpans(section.text)) {
            if (span.find(' ') == std::string::npos ||
                std::find(std::begin(kNotLines), std::end(kNotLines), span) != std::end(kNotLines))
                continue;
            ++checked;
            for (const std::string& piece : FixedPieces(span))
                EXPECT_TRUE(code.Holds(piece)) << section.title << " quotes `" << span << "`: the code writes no \""
                                               << piece << "\"";
        }
    }
    EXPECT_GT(checked, 200u);
}

// The plans a setup author copies from (the examples, the MSI example plans
// and the reference's own plan steps) name no twin but the exact one.
TEST_F(ReferenceAgainstCode, ExamplePlansAndPlanStepsUseTheExactTwins)
{
    ASSERT_FALSE(inputs->plans.empty());
    for (const std::string& path : inputs->plans) {
        Plan plan;
        try {
            plan = ParsePlan(ReadSourceFile(path), path);
        } catch (const UsageFailure& failure) {
            ADD_FAILURE() << failure.message;
            continue;
        }
        EXPECT_EQ(std::vector<std::string>(), PairTwins(plan)) << path;
    }
    // A step in the reference is an indented block: its action, then its twin.
    static const std::regex step("\"action\": \"(\\w+)\"[\\s\\S]*?\"rollback\": \\{\"action\": \"(\\w+)\"");
    std::istringstream text(ReadSourceFile(inputs->reference));
    std::string block;
    for (std::string line; std::getline(text, line);) {
        if (line.compare(0, 4, "    ") == 0) {
            block += line + "\n";
            continue;
        }
        std::smatch match;
        if (std::regex_search(block, match, step)) {
            const std::string action = match[1];
            const std::wstring exact = ExactTwin(std::wstring(action.begin(), action.end()));
            EXPECT_TRUE(exact.empty() || Narrow(exact) == match[2].str())
                << match[1] << " names " << match[2] << " as its twin; its exact twin is " << Narrow(exact);
        }
        block.clear();
    }
}

// The scan itself: what it must find, and what it must not reach.
TEST(SourceScan, FollowsCallsAsTheLinkerWould)
{
    const std::vector<SourceFile> sources = {
        { "Names.cpp", "namespace ToolArgumentNames {\n"
                       "const std::wstring Path(L\"Path\");\n"
                       "const std::wstring Mode(L\"Mode\"); // not L\"Other\"\n"
                       "const std::wstring Hidden(L\"Hidden\");\n"
                       "}\n" },
        { "Helpers.cpp", "namespace {\n"
                         "// A helper of its own file: Other.cpp's call of check() cannot reach it.\n"
                         "bool check(IActionContext& c) { return !c.GetArg(ToolArgumentNames::Hidden)->empty(); }\n"
                         "}\n"
                         "int Shared(IActionContext& c, int n = 0)\n"
                         "{\n"
                         "    const char* text = \"{ not a brace\";\n"
                         "    return check(c) ? n : ReadMode(c);\n"
                         "}\n"
                         "int ReadMode(IActionContext& c) { GetCStringArg(c, L\"Literal\"); return 0; }\n" },
        { "Other.cpp", "#include \"Names.h\"\n"
                       "namespace {\n"
                       "bool check(IActionContext&) { return true; }\n"
                       "class Reader {\n"
                       "public:\n"
                       "    explicit Reader(IActionContext& c) : m_c(c) {}\n"
                       "    std::wstring path() const { return *m_c.GetArg(ToolArgumentNames::Path); }\n"
                       "private:\n"
                       "    IActionContext& m_c;\n"
                       "};\n"
                       "}\n"
                       "VERRAND_ACTION(First)\n"
                       "{\n"
                       "    Reader reader(*context);\n"
                       "    return check(*context) && reader.path().empty();\n"
                       "}\n"
                       "namespace Group {\n"
                       "VERRAND_ACTION(Second)\n"
                       "{\n"
                       "    /* ToolArgumentNames::Mode only in a comment */\n"
                       "    return Shared(*context) + (ToolArgumentNames::Unknown.empty() ? 0 : 1);\n"
                       "}\n"
                       "}\n" },
    };
    const ArgumentScan scan = ScanArguments(sources);
    EXPECT_EQ(3u, scan.tableNames.size());
    EXPECT_EQ("Mode", scan.tableNames.at("ToolArgumentNames::Mode"));
    ASSERT_EQ(2u, scan.actionArguments.size());
    // A class's method reached through the action; the other file's
    // internal check() is not.
    EXPECT_EQ((std::set<std::string>{ "Path" }), scan.actionArguments.at("First"));
    // A public function of another file, its own file's internal helper,
    // and a literal name two calls down.
    EXPECT_EQ((std::set<std::string>{ "Hidden", "Literal" }), scan.actionArguments.at("Second"));
    EXPECT_EQ((std::set<std::string>{ "ToolArgumentNames::Unknown" }), scan.unknownConstants);
}

// The line check itself: the pieces of a quoted line, and text joined
// from literals as code joins them, but no other text.
TEST(QuotedLines, PiecesAreRunsOfLiteralText)
{
    EXPECT_EQ((std::vector<std::string>{ "Couldn't write ", " (error ", ") to the " }),
              FixedPieces("Couldn't write PATH (error N) to the KEY ... of KEY"));
    EXPECT_EQ((std::vector<std::string>{ "MaxRetriesAllowed is used: " }), FixedPieces("MaxRetriesAllowed is used: 0 (x86)"));
    const std::vector<std::string> literals = LiteralTexts(
        "// \"Commented out\"\n"
        "#define NOT_A_LINE \"Defined\"\n"
        "char quote = '\"'; log(L\"Couldn't set \" L\"icon location\");\n"
        "line.Format(L\"Fail to %s [%d]\", what); log(prefix + L\": Put back \" + name);\n"
        "log(L\"\\u00e9t\\u00e9 \\\"x\\\"\");\n");
    EXPECT_EQ((std::vector<std::string>{ "Couldn't set icon location", "Fail to ", " [", "]", ": Put back ",
                                         u8"\u00e9t\u00e9 \"x\"" }),
              literals);
    const LiteralText code(literals);
    const struct {
        const char* text;
        bool holds;
    } cases[] = {
        { "set icon loc", true },
        { "Fail to ", true },
        { "Couldn't set icon location: Put back ", true },  // a literal's end, then another's beginning
        { "Fail to  [", true },
        { "Couldn't set icon locations", false },  // a word's end is no literal's beginning
        { "Failed to ", false },
        { "Commented out", false },
        { "Defined", false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.holds, code.Holds(c.text)) << c.text;
}

TEST(ReferenceText, SectionsPartsAndSentences)
{
    const Reference reference("# Title\n\nIntro.\n\n## Chapter\n\n### Shared part\n\n| argument | x |\n|---|---|\n"
                              "| `Common` | y |\n\n### OneAction\r\n\r\nDoes one thing\r\nfor a setup.\r\n\r\n"
                              "Includes [Shared part](#shared-part).\r\n\r\n\r\n## Next chapter\n\n### Other_2\nText.\n");
    ASSERT_EQ(3u, reference.sections().size());
    EXPECT_FALSE(Reference::IsActionTitle("Shared part"));
    EXPECT_EQ("Does one thing for a setup.", reference.Summary("OneAction"));
    EXPECT_EQ("Text.", reference.Summary("Other_2"));
    EXPECT_EQ("", reference.Summary("Shared part"));
    EXPECT_EQ("### OneAction\n\nDoes one thing\nfor a setup.\n\nIncludes [Shared part](#shared-part).\n\n"
              "### Shared part\n\n| argument | x |\n|---|---|\n| `Common` | y |\n",
              reference.ActionText("OneAction"));
    EXPECT_EQ((std::set<std::string>{ "Common" }), documentedNames(reference.find("Shared part")->text));
    EXPECT_EQ("", reference.ActionText("Missing"));
}
}
