#pragma once
#include <string>
#include <vector>

#include "ActionRunner.h"

struct PlanAction {
    std::wstring action;
    HostContext::Values arguments;
};

struct PlanStep {
    PlanAction action;
    bool hasRollback;
    PlanAction rollback;
};

// {"properties": {...}, "steps": [{"action": ..., "args": {...},
//   "rollback": {"action": ..., "args": {...}}}, ...]}
struct Plan {
    HostContext::Values properties;
    std::vector<PlanStep> steps;
};

// Parses a plan; throws UsageFailure naming the file and, for a JSON syntax
// error, its line and column.
Plan ParsePlan(const std::string& text, const std::string& name);
Plan ReadPlan(const std::wstring& path);

// Runs the steps in order. A step's argument values have every [NAME] of a
// known property replaced by its value at the time the step runs; other
// bracketed text stays as written. Every step gets its own invocation-data folder
// ("$action.invocationdata.dir"), which its rollback twin shares. When a
// step fails (status 1) or lets an exception out, the twins of that step and
// of every step before it run, newest first, and the plan stops with that
// status. Any other non-zero status stops the plan without rollback.
int RunPlan(const ActionLibrary& library, const Plan& plan, HostContext::Values& properties, Output& output);
