#include "Plan.h"

#include "PlanFolder.h"
#include "UsageFailure.h"

namespace {
const wchar_t* const kInvocationDataDir = L"$action.invocationdata.dir";

class PlanRun {
public:
    PlanRun(const ActionFinder& actions, HostContext::Values& properties, RunOutput& output, ActionObserver* observer)
        : m_actions(actions), m_properties(properties), m_output(output), m_observer(observer)
    {
    }

    int run(const PlanAction& action, const std::wstring& folder)
    {
        // Plan arguments may refer to properties set by earlier steps.
        HostContext::Values arguments;
        for (HostContext::Values::const_iterator it = action.arguments.begin(); it != action.arguments.end(); ++it)
            arguments[it->first] = ExpandProperties(it->second, m_properties, KeepUnknownReferences);
        arguments[kInvocationDataDir] = folder;
        return RunAction(m_actions, action.action, arguments, m_properties, m_output, m_observer);
    }

private:
    const ActionFinder& m_actions;
    HostContext::Values& m_properties;
    RunOutput& m_output;
    ActionObserver* m_observer;
};

bool failed(int status)
{
    return status == 1 || status == ActionThrewStatus;
}
}

int RunPlan(const ActionFinder& actions, const Plan& written, HostContext::Values& properties, RunOutput& output,
            ActionObserver* observer, PlanInterruption* interruption)
{
    Plan plan = written;
    for (const std::string& line : PairTwins(plan))
        output.log(3, wide(line));
    for (HostContext::Values::const_iterator it = plan.properties.begin(); it != plan.properties.end(); ++it)
        properties.insert(*it);
    // Every action must exist before the first one runs.
    for (const PlanStep& step : plan.steps) {
        actions.action(step.action.action);
        if (step.hasRollback)
            actions.action(step.rollback.action);
    }

    PlanFolder folder;
    PlanRun runner(actions, properties, output, observer);
    const auto interrupted = [interruption] { return interruption && interruption->interrupted(); };
    std::vector<std::wstring> stepFolders;
    int status = 0;
    bool rollBack = false;
    for (size_t i = 0; i < plan.steps.size() && !interrupted(); ++i) {
        const PlanStep& step = plan.steps[i];
        output.step(i + 1, plan.steps.size(), step.action.action);
        try {
            stepFolders.push_back(folder.makeStepFolder(i + 1));
        } catch (const UsageFailure& failure) {
            output.failure(failure.message);
            status = 1;
            rollBack = true;
            break;
        }
        if (interruption)
            interruption->stepStarts();
        status = runner.run(step.action, stepFolders.back());
        if (interruption)
            interruption->stepEnds();
        if (status != 0) {
            rollBack = failed(status);
            break;
        }
    }
    const bool wasInterrupted = interrupted();
    if (wasInterrupted) {
        status = 1;
        rollBack = true;
    }

    bool keepFolder = false;
    if (rollBack) {
        output.note("== rolling back");
        for (size_t done = stepFolders.size(); done-- > 0;) {
            const PlanStep& undo = plan.steps[done];
            if (!undo.hasRollback)
                continue;
            output.rollback(done + 1, undo.rollback.action);
            if (runner.run(undo.rollback, stepFolders[done]) != 0)
                keepFolder = true;
        }
        // A twin consumes the state it used: what is left was not given
        // back, and may be all there is of the user's data.
        for (const std::wstring& stepFolder : stepFolders) {
            if (PlanFolder::stepFolderHoldsState(stepFolder))
                keepFolder = true;
        }
    }
    if (keepFolder)
        folder.keep();
    output.plan(status, wasInterrupted, keepFolder ? folder.path() : std::wstring());
    return status;
}
