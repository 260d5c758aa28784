#include "Interruption.h"

#include <tlhelp32.h>

#include <map>
#include <mutex>
#include <vector>

#include "core/ScopedHandle.h"

namespace {
// The plan's Interruption, and how many console events it handles now: it
// goes only after the last of them returned.
std::mutex activeLock;
Interruption* active = 0;
int handling = 0;

BOOL WINAPI consoleHandler(DWORD event)
{
    Interruption* interruption;
    {
        std::lock_guard<std::mutex> lock(activeLock);
        interruption = active;
        if (!interruption)
            return FALSE;
        ++handling;
    }
    const BOOL handled = interruption->handle(event);
    std::lock_guard<std::mutex> lock(activeLock);
    --handling;
    return handled;
}

std::string eventName(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
        return "Ctrl-C";
    case CTRL_BREAK_EVENT:
        return "Ctrl-Break";
    case CTRL_CLOSE_EVENT:
        return "console closing";
    case CTRL_LOGOFF_EVENT:
        return "logoff";
    case CTRL_SHUTDOWN_EVENT:
        return "shutdown";
    }
    return "console event " + std::to_string(event);
}

// When the process was made; 0 when that cannot be read (it ended, or it
// is not ours to look at).
unsigned long long creationTime(DWORD id)
{
    ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    FILETIME created, exited, kernel, user;
    if (!process.get() || !GetProcessTimes(process.get(), &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}
}

size_t EndChildProcessTree()
{
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        Output::error("cannot list the processes to end them (error " + std::to_string(GetLastError()) + ")");
        return 0;
    }
    std::multimap<DWORD, DWORD> children; // parent -> child
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ProcessID != entry.th32ParentProcessID)
            children.insert(std::make_pair(entry.th32ParentProcessID, entry.th32ProcessID));

    std::vector<std::pair<DWORD, unsigned long long> > pending(1, std::make_pair(GetCurrentProcessId(),
                                                                                 creationTime(GetCurrentProcessId())));
    size_t ended = 0;
    while (!pending.empty()) {
        const std::pair<DWORD, unsigned long long> parent = pending.back();
        pending.pop_back();
        const std::pair<std::multimap<DWORD, DWORD>::iterator, std::multimap<DWORD, DWORD>::iterator> range =
            children.equal_range(parent.first);
        for (std::multimap<DWORD, DWORD>::iterator it = range.first; it != range.second; ++it) {
            const unsigned long long created = creationTime(it->second);
            if (created == 0 || created < parent.second)
                continue;
            pending.push_back(std::make_pair(it->second, created));
            ScopedHandle child(OpenProcess(PROCESS_TERMINATE, FALSE, it->second));
            if (child.get() && TerminateProcess(child.get(), STATUS_CONTROL_C_EXIT))
                ++ended;
            else
                Output::error("cannot end process " + std::to_string(it->second) + " (error " +
                              std::to_string(GetLastError()) + ")");
        }
    }
    return ended;
}

Interruption::Interruption(Output& output)
    : m_output(output), m_stepLeft(CreateEventW(0, TRUE, TRUE, 0)), m_planEnded(CreateEventW(0, TRUE, FALSE, 0)),
      m_interrupted(false), m_inStep(false)
{
    InitializeCriticalSection(&m_lock);
    {
        std::lock_guard<std::mutex> lock(activeLock);
        active = this;
    }
    // A host started in a process group of its own has Ctrl-C switched off;
    // a plan wants to hear it.
    SetConsoleCtrlHandler(0, FALSE);
    if (!SetConsoleCtrlHandler(consoleHandler, TRUE))
        Output::error("cannot watch for Ctrl-C (error " + std::to_string(GetLastError()) + ")");
}

Interruption::~Interruption()
{
    planEnds();
    SetConsoleCtrlHandler(consoleHandler, FALSE);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(activeLock);
            active = 0;
            if (handling == 0)
                break;
        }
        Sleep(10);
    }
    CloseHandle(m_stepLeft);
    CloseHandle(m_planEnded);
    DeleteCriticalSection(&m_lock);
}

bool Interruption::interrupted() const
{
    EnterCriticalSection(const_cast<CRITICAL_SECTION*>(&m_lock));
    const bool result = m_interrupted;
    LeaveCriticalSection(const_cast<CRITICAL_SECTION*>(&m_lock));
    return result;
}

void Interruption::stepStarts()
{
    EnterCriticalSection(&m_lock);
    m_inStep = true;
    ResetEvent(m_stepLeft);
    LeaveCriticalSection(&m_lock);
}

void Interruption::stepEnds()
{
    EnterCriticalSection(&m_lock);
    m_inStep = false;
    SetEvent(m_stepLeft);
    LeaveCriticalSection(&m_lock);
}

void Interruption::planEnds()
{
    SetEvent(m_planEnded);
}

BOOL Interruption::handle(DWORD event)
{
    EnterCriticalSection(&m_lock);
    const bool first = !m_interrupted;
    m_interrupted = true;
    LeaveCriticalSection(&m_lock);
    m_output.interrupt(eventName(event), !first);
    if (first) {
        // The step may start a process after the first sweep: sweep again
        // until it is left. The lock keeps a sweep from meeting the
        // processes of the twins that run after it.
        for (;;) {
            EnterCriticalSection(&m_lock);
            const bool inStep = m_inStep;
            if (inStep)
                EndChildProcessTree();
            LeaveCriticalSection(&m_lock);
            if (!inStep || WaitForSingleObject(m_stepLeft, 100) == WAIT_OBJECT_0)
                break;
        }
    }
    // The system ends the process once a handler of these returns.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(m_planEnded, INFINITE);
    return TRUE;
}
