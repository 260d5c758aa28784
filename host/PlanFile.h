#pragma once
// The plan file: what a plan says and how strictly it is read.
#include <string>
#include <vector>

#include "PropertyExpansion.h"

struct PlanAction {
    std::wstring action;
    PropertyValues arguments;
};

struct PlanStep {
    PlanAction action;
    bool hasRollback = false;
    PlanAction rollback;
    // "rollback": null: the step runs without a twin, even when its action
    // has an exact one.
    bool withoutTwin = false;
};

// {"properties": {"NAME": "text", ...},
//  "steps": [{"action": "...", "args": {"NAME": "text", ...},
//             "rollback": {"action": "...", "args": {...}} or null}, ...]}
// Every key is optional except a step's and a twin's "action".
struct Plan {
    PropertyValues properties;
    std::vector<PlanStep> steps;
};

// Parses a plan, refusing anything the plan format does not have: a key it
// does not know at any level (keys are case-sensitive), a key given twice, a
// step or twin without an "action" text, a value of the wrong type (every
// argument and property value is a text: null, numbers and booleans are
// refused by name; null is a step's "rollback" only), and any JSON syntax error. The input is read in one
// pass without recursion, and a value of the wrong type is refused at its
// first character, so no nesting reaches the parser's stack. Throws
// UsageFailure "plan NAME: line L, column C: PATH: what is wrong", where PATH
// names the key (steps[2].args.Path, steps counted from 1).
Plan ParsePlan(const std::string& text, const std::string& name);
Plan ReadPlan(const std::wstring& path);

// The plan as it runs: a step without a "rollback" key whose action has an
// exact twin (see core/ActionCatalogue.h) gets that twin with the step's own
// arguments. A step with "rollback": null keeps none, and a hand-named twin
// runs as written; for each step whose hand-named twin is not the exact one
// the result holds a line naming the exact twin ("steps[N]: ...").
std::vector<std::string> PairTwins(Plan& plan);
