#pragma once
#include <string>

// The folder of one plan run, under the host's temporary folder, with a
// folder for each step inside it that the step and its rollback twin share
// ("$action.invocationdata.dir").
//
// The folder gets a name no earlier run used: it is created exclusively (a
// name that exists already, whoever left it, is never taken over), so
// nothing an earlier or concurrent run left behind can reach a step. Step
// folders sit in groups of a hundred, so that making one costs the same in
// the ten-thousandth step as in the first (the file system looks names up
// folder by folder).
class PlanFolder {
public:
    // Throws UsageFailure when no folder can be made.
    PlanFolder();
    // Removes the folder with everything in it, unless keep() was called.
    // Links inside are removed as links; one that cannot be (a link to a
    // folder under Wine) stops the removal, and the folder stays.
    ~PlanFolder();

    const std::wstring& path() const { return m_path; }
    // Makes the folder of step `index` (from 1); throws UsageFailure when
    // it cannot.
    std::wstring makeStepFolder(size_t index);
    // Leaves the folder in place when the plan ends.
    void keep() { m_keep = true; }
    // True when a step's folder still holds something: after a rollback, a
    // state no twin consumed (what a step kept of the user's data).
    static bool stepFolderHoldsState(const std::wstring& stepFolder);

private:
    PlanFolder(const PlanFolder&);
    PlanFolder& operator=(const PlanFolder&);
    std::wstring m_path;
    bool m_keep;
};

// Name of step `index`'s folder inside the plan's folder: "<group>\step-N".
std::wstring StepFolderName(size_t index);
