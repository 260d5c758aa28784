#pragma once
// Ctrl-C, Ctrl-Break and the console closing while a plan runs.
#include <string>

#include <windows.h>

#include "Output.h"
#include "Plan.h"

// While it exists, console interruptions do not end the host: the first
// one says so on the output and marks the plan interrupted, and while a
// step is under way it ends every process the host started (and theirs),
// so the step's wait for its child returns; later ones are ignored with a
// line. The plan asks interrupted() before each step and then runs the
// twins of the steps done; their processes are left alone.
class Interruption : public PlanInterruption {
public:
    explicit Interruption(Output& output);
    ~Interruption();

    bool interrupted() const;
    // Brackets one step: an interruption within ends the host's child
    // processes until the step is left.
    void stepStarts();
    void stepEnds();
    // The plan's end: a handler holding the console's close event may let
    // the system end the process now.
    void planEnds();

    // Called by the console on a thread of its own.
    BOOL handle(DWORD event);

private:
    Interruption(const Interruption&);
    Interruption& operator=(const Interruption&);

    Output& m_output;
    CRITICAL_SECTION m_lock;
    HANDLE m_stepLeft;
    HANDLE m_planEnded;
    bool m_interrupted;
    bool m_inStep;
};

// Ends every process that descends from this one: its children, theirs and
// so on, as a snapshot of the processes shows them. A process counts as a
// child only when it was made after its parent, so a process that merely
// got a dead parent's reused id is left alone. Gives how many it ended.
size_t EndChildProcessTree();
