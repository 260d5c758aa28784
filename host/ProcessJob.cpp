#include "ProcessJob.h"

#include <string>

#include "Output.h"

namespace {
void report(const char* call, DWORD error)
{
    Output::error(std::string(call) + " failed (error " + std::to_string(error) +
                  "): the plan's processes would outlive a host that is killed");
}
}

ProcessJob::ProcessJob() : m_job(CreateJobObjectW(0, 0)), m_inForce(false)
{
    if (!m_job.valid()) {
        report("CreateJobObjectW", GetLastError());
        return;
    }
    if (!setLimits(JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK)) {
        report("SetInformationJobObject", GetLastError());
        return;
    }
    // A host that already runs in a job gets a nested one (Windows 8 and
    // later; older systems refuse when the outer job allows no breakaway).
    if (!AssignProcessToJobObject(m_job.get(), GetCurrentProcess())) {
        report("AssignProcessToJobObject", GetLastError());
        return;
    }
    m_inForce = true;
}

ProcessJob::~ProcessJob()
{
    if (m_inForce && !setLimits(JOB_OBJECT_LIMIT_BREAKAWAY_OK))
        Output::error("cannot release the plan's processes from the host's job (error " +
                      std::to_string(GetLastError()) + "): they end with the host");
}

bool ProcessJob::setLimits(DWORD flags)
{
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = flags;
    return SetInformationJobObject(m_job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)) != FALSE;
}
