// Plan files are read strictly: anything that is not part of the plan
// format is refused with its place before any step runs.
#include <gtest/gtest.h>

#include "host/PlanFile.h"
#include "host/UsageFailure.h"

namespace {
std::string refusal(const std::string& text)
{
    try {
        ParsePlan(text, "p.json");
    } catch (const UsageFailure& failure) {
        return failure.message;
    }
    return "accepted";
}
}

TEST(PlanFile, ReadsEveryPartOfAPlan)
{
    const Plan plan = ParsePlan("{\"properties\": {\"A\": \"1\", \"\\u00e9\": \"\"},\n"
                                " \"steps\": [{\"args\": {\"X\": \"x\"}, \"action\": \"One\",\n"
                                "             \"rollback\": {\"action\": \"Undo\", \"args\": {\"Y\": \"y\"}}},\n"
                                "            {\"action\": \"Two\"}]}",
                                "p.json");
    EXPECT_EQ((PropertyValues{ { L"A", L"1" }, { L"\u00e9", L"" } }), plan.properties);
    ASSERT_EQ(2u, plan.steps.size());
    EXPECT_EQ(L"One", plan.steps[0].action.action);
    EXPECT_EQ((PropertyValues{ { L"X", L"x" } }), plan.steps[0].action.arguments);
    ASSERT_TRUE(plan.steps[0].hasRollback);
    EXPECT_EQ(L"Undo", plan.steps[0].rollback.action);
    EXPECT_EQ((PropertyValues{ { L"Y", L"y" } }), plan.steps[0].rollback.arguments);
    EXPECT_EQ(L"Two", plan.steps[1].action.action);
    EXPECT_FALSE(plan.steps[1].hasRollback);
    EXPECT_TRUE(plan.steps[1].action.arguments.empty());
    EXPECT_TRUE(ParsePlan("{}", "p.json").steps.empty());
}

TEST(PlanFile, RefusesWhatIsNoPartOfAPlanWithItsPlace)
{
    const std::string deep = std::string(50000, '[') + std::string(50000, ']');
    const struct {
        const char* why;
        std::string text;
        const char* message;
    } rows[] = {
        // Misspelled keys at every level used to run nothing and succeed.
        { "plan key", "{\"Steps\": []}", "line 1, column 2: Steps: unknown key (a plan has \"properties\", \"steps\")" },
        { "step key", "{\"steps\": [{\"action\": \"A\",\n \"Args\": {}}]}",
          "line 2, column 2: steps[1].Args: unknown key (a step has \"action\", \"args\", \"rollback\")" },
        { "twin key", "{\"steps\": [{\"action\": \"A\"},\n {\"action\": \"B\", \"rollbak\": {}}]}",
          "line 2, column 18: steps[2].rollbak: unknown key" },
        { "key in a twin", "{\"steps\": [{\"action\": \"A\", \"rollback\": {\"action\": \"B\", \"rollback\": {}}}]}",
          "column 56: steps[1].rollback.rollback: unknown key (a rollback step has \"action\", \"args\")" },
        { "key given twice", "{\"steps\": [{\"action\": \"A\", \"args\": {\"X\": \"1\", \"X\": \"2\"}}]}",
          "column 47: steps[1].args.X: the key is given twice" },
        // Values that are not texts used to be turned into texts ("null").
        { "null argument", "{\"steps\": [{\"action\": \"A\", \"args\": {\"X\": null}}]}",
          "column 42: steps[1].args.X: must be a text, not null" },
        { "number argument", "{\"steps\": [{\"action\": \"A\", \"args\": {\"X\": 12}}]}",
          "column 42: steps[1].args.X: must be a text, not a number" },
        { "number before a blank", "{\"properties\": {\"X\": 1.5 }}", "column 22: properties.X: must be a text, not a number" },
        { "boolean property", "{\"properties\": {\"X\": true}}", "column 22: properties.X: must be a text, not a boolean" },
        { "object argument", "{\"steps\": [{\"action\": \"A\", \"args\": {\"X\": {}}}]}",
          "steps[1].args.X: must be a text, not an object" },
        { "step without action", "{\"steps\": [{\"args\": {}}]}", "column 23: steps[1]: a step needs an \"action\" text" },
        { "twin without action", "{\"steps\": [{\"action\": \"A\", \"rollback\": {}}]}",
          "steps[1].rollback: a rollback step needs an \"action\" text" },
        // "rollback": null asks for no twin; no other value stands for it.
        { "twin given as false", "{\"steps\": [{\"action\": \"A\", \"rollback\": false}]}",
          "steps[1].rollback: must be a rollback object, or null for no twin, not a boolean" },
        { "null inside a twin", "{\"steps\": [{\"action\": \"A\", \"rollback\": {\"action\": null}}]}",
          "steps[1].rollback.action: must be a text, not null" },
        { "action of the wrong type", "{\"steps\": [{\"action\": 3}]}", "steps[1].action: must be a text, not a number" },
        { "steps not an array", "{\"steps\": {}}", "steps: must be an array of steps, not an object" },
        { "step not an object", "{\"steps\": [\"A\"]}", "column 12: steps[1]: must be a step object, not a text" },
        { "args not an object", "{\"steps\": [{\"action\": \"A\", \"args\": null}]}",
          "steps[1].args: must be an object of texts, not null" },
        { "plan not an object", "[]", "line 1, column 1: the plan: must be an object, not an array" },
        // 50,000 levels of nesting used to overflow the stack.
        { "deep nesting", "{\"steps\": [{\"action\": \"A\", \"args\": {\"X\": " + deep + "}}]}",
          "column 42: steps[1].args.X: must be a text, not an array" },
        { "deep nesting as the plan", deep, "the plan: must be an object, not an array" },
        { "syntax error", "{\"steps\": [\n  {\"action\": \"A\",}\n]}",
          "plan p.json: line 2, column 18: steps[1]: syntax error while parsing object key - unexpected '}'" },
        // Bytes that are no UTF-8 are named as such, never shown raw.
        { "invalid UTF-8", "{\"properties\": {\"X\": \"\xff\"}}",
          "plan p.json: line 1, column 23: properties: the file is not UTF-8 text" },
        { "invalid byte outside a text", "{\"steps\": \xe9}", "plan p.json: line 1, column 11: the plan: syntax error" },
        { "UTF-16 with its mark", std::string("\xFF\xFE{\0}\0", 6),
          "plan p.json: line 1, column 1: the plan: the file is not UTF-8 text (it looks like UTF-16; save it as UTF-8)" },
        { "UTF-16 without it", std::string("{\0}\0", 4), "line 1, column 1: the plan: the file is not UTF-8 text" },
        { "UTF-16, big end first", std::string("\xFE\xFF\0{\0}", 6), "the file is not UTF-8 text" },
    };
    for (const auto& row : rows) {
        const std::string message = refusal(row.text);
        EXPECT_EQ(0u, message.find("plan p.json: ")) << row.why << ": " << message;
        EXPECT_NE(std::string::npos, message.find(row.message)) << row.why << ": " << message;
        EXPECT_EQ(std::string::npos, message.find('\n')) << row.why;
        EXPECT_EQ(std::string::npos, message.find("json.exception")) << row.why;
        for (char c : message)
            EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << row.why << ": " << message;
    }
}

// Steps are paired with their exact twins as the catalogue names them;
// a plan can keep a step without one, and a hand-named twin runs as
// written, with a line when it is not the exact twin.
TEST(PlanFile, StepsGetTheirExactTwinsUnlessThePlanSaysOtherwise)
{
    const struct {
        const char* why;
        const char* step;
        const wchar_t* twin;  // empty: no twin
        bool ownArguments;    // the twin has the step's arguments
        const char* line;     // empty: none
    } rows[] = {
        { "an action with an exact twin gets it with the step's arguments",
          "{\"action\": \"ConfigureEnvironment\", \"args\": {\"ENV_NAME\": \"PATH\", \"ACTION\": \"prepend\"}}",
          L"RollbackConfigureEnvironment", true, "" },
        { "null keeps the step without a twin",
          "{\"action\": \"CopyUserConfigFile\", \"rollback\": null}", L"", false, "" },
        { "the exact twin named by hand runs as written",
          "{\"action\": \"CopyUserConfigFile\", \"rollback\": {\"action\": \"RollbackCopyUserConfigFile\"}}",
          L"RollbackCopyUserConfigFile", false, "" },
        // ConfigureEnvironment undoes a prepend by removing the entry, also
        // one the user had before.
        { "an inexact twin runs as written, with a line naming the exact one",
          "{\"action\": \"ConfigureEnvironment\", \"args\": {\"ENV_NAME\": \"PATH\"}, \"rollback\": "
          "{\"action\": \"ConfigureEnvironment\", \"args\": {\"ACTION\": \"remove\"}}}",
          L"ConfigureEnvironment", false,
          "steps[1]: ConfigureEnvironment does not give back exactly what ConfigureEnvironment changed; its exact "
          "twin is RollbackConfigureEnvironment" },
        { "an action without an exact twin gets none", "{\"action\": \"RunCommand\", \"args\": {\"CmdLine\": \"x\"}}",
          L"", false, "" },
        { "an action the catalogue does not know gets none", "{\"action\": \"Touch\"}", L"", false, "" },
    };
    for (const auto& row : rows) {
        Plan plan = ParsePlan(std::string("{\"steps\": [") + row.step + "]}", "p.json");
        const std::vector<std::string> lines = PairTwins(plan);
        const PlanStep& step = plan.steps[0];
        EXPECT_EQ(*row.twin != 0, step.hasRollback) << row.why;
        if (*row.twin) {
            EXPECT_EQ(row.twin, step.rollback.action) << row.why;
        }
        if (row.ownArguments) {
            EXPECT_EQ(step.action.arguments, step.rollback.arguments) << row.why;
        }
        EXPECT_EQ(*row.line ? std::vector<std::string>{ row.line } : std::vector<std::string>(), lines) << row.why;
    }
}
