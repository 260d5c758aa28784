#pragma once
#include "ActionRunner.h"
#include "PlanFile.h"

// What stops a plan from outside (the host's console interruptions).
class PlanInterruption {
public:
    virtual bool interrupted() const = 0;
    // Bracket one step.
    virtual void stepStarts() = 0;
    virtual void stepEnds() = 0;

protected:
    ~PlanInterruption() {}
};

// Runs the steps in order, each paired with its exact twin unless the plan
// names another or none (PairTwins; each line it gives is logged at level 3
// before the first step). A step's argument values have every [NAME] of a
// known property replaced by its value at the time the step runs; other
// bracketed text stays as written. Every step gets its own folder
// ("$action.invocationdata.dir", see PlanFolder), which its rollback twin
// shares. When a step fails (status 1) or lets an exception out, or the interruption stops the plan, no further step
// starts and the twins of that step and of every step before it run, newest
// first; a twin that fails does not stop the others, and keeps the plan's
// folder (its path is shown), as does a step folder that still holds state
// after the rollback (no twin consumed it). The plan ends with the failing step's status,
// 1 when interrupted. Any other non-zero status stops the plan without
// rollback. The observer, when given, is flushed after each action; the
// output masks the SensitiveData of every step run so far; the
// interruption, when given, is asked before each step.
int RunPlan(const ActionFinder& actions, const Plan& plan, HostContext::Values& properties, RunOutput& output,
            ActionObserver* observer, PlanInterruption* interruption);
