#pragma once
// The job that holds the host and every process a plan's steps start (and
// theirs), set to end them all when its last handle closes. Only the host
// holds a handle, so a host that is killed (where no rollback can run)
// leaves no child running either. A host that ends in order lets the
// processes a step started on purpose run on.
//
// A process started with CREATE_BREAKAWAY_FROM_JOB leaves the job (the
// program asked for it explicitly) and is not ended with the host. Command
// runners may put their children in jobs of their own: those nest inside
// this one.
#include <windows.h>

#include "core/ScopedHandle.h"

class ProcessJob {
public:
    // Failures leave the host as it was, with one line on standard error.
    ProcessJob();
    ~ProcessJob();

    bool inForce() const { return m_inForce; }

private:
    ProcessJob(const ProcessJob&);
    ProcessJob& operator=(const ProcessJob&);
    bool setLimits(DWORD flags);

    ScopedHandle m_job;
    bool m_inForce;
};
