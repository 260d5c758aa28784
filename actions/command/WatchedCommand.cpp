#include "WatchedCommand.h"

#include <algorithm>
#include <vector>

#include "actions/files/LineFiles.h"
#include "core/CString.h"
#include "core/LogLevel.h"
#include "core/OutputLines.h"

namespace {
const DWORD kPipeBufferBytes = 65536;
// A read that got less than this waits a moment before the next one.
const DWORD kSmallReadBytes = 4096;
const DWORD kSmallReadPauseMilliseconds = 1;
// The log object's prefix and the stream's mark before each output line.
const wchar_t* const kOutputPrefix = L"RunCommand: > ";
const wchar_t* const kErrorPrefix = L"RunCommand: ! ";
const wchar_t* const kTreeNotEnded = L"; when the time is up only the command itself is ended";

void logFailure(IActionContext& context, const wchar_t* step, DWORD error, const wchar_t* consequence = L"")
{
    CString line;
    line.Format(L"RunCommand: %s failed (%lu)%s", step, error, consequence);
    context.Log(LogLevelError, line.str());
}

// One output stream of the child: a named pipe whose read end this process
// reads with overlapped I/O, so both streams and the process can be waited
// for at once on this thread, and whose write end the child inherits.
class OutputPipe {
public:
    explicit OutputPipe(OutputLines& lines) : m_buffer(kPipeBufferBytes), m_reading(false), m_error(0), m_lines(lines)
    {
        ZeroMemory(&m_overlapped, sizeof(m_overlapped));
    }

    ~OutputPipe()
    {
        // The system may still write into the buffer until the read is
        // cancelled and done.
        if (m_reading) {
            DWORD read = 0;
            CancelIoEx(m_pipe.get(), &m_overlapped);
            GetOverlappedResult(m_pipe.get(), &m_overlapped, &read, TRUE);
        }
    }

    // 0 when the pipe is ready, else the error.
    DWORD Open()
    {
        static volatile LONG serial = 0;
        CString name;
        name.Format(L"\\\\.\\pipe\\Verrand.RunCommand.%lu.%lu.%ld", GetCurrentProcessId(), GetCurrentThreadId(),
                    InterlockedIncrement(&serial));
        m_pipe.reset(CreateNamedPipeW(
            name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, kPipeBufferBytes, 0, 0));
        if (!m_pipe.valid())
            return GetLastError();
        SECURITY_ATTRIBUTES inherited = { sizeof(inherited), 0, TRUE };
        m_childEnd.reset(CreateFileW(name, GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, 0, 0));
        if (!m_childEnd.valid())
            return GetLastError();
        m_event.reset(CreateEventW(0, TRUE, FALSE, 0));
        if (!m_event.valid())
            return GetLastError();
        m_overlapped.hEvent = m_event.get();
        return 0;
    }

    HANDLE ChildEnd() const { return m_childEnd.get(); }
    void CloseChildEnd() { m_childEnd.close(); }
    HANDLE Event() const { return m_event.get(); }
    bool Reading() const { return m_reading; }
    // A read error other than the end of the pipe, 0 when none.
    DWORD Error() const { return m_error; }

    // Starts the first read.
    void Start() { startRead(); }

    // Hands what the finished read got to the lines and starts the next one.
    void Collect()
    {
        DWORD read = 0;
        if (GetOverlappedResult(m_pipe.get(), &m_overlapped, &read, FALSE)) {
            m_reading = false;
            m_lines.Add(&m_buffer[0], read);
            // A program that writes a line at a time would otherwise wake
            // this thread for every line; the pipe keeps what it writes
            // meanwhile, and the next read takes it all at once.
            if (read < kSmallReadBytes)
                Sleep(kSmallReadPauseMilliseconds);
            startRead();
            return;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_IO_INCOMPLETE)
            return;
        m_reading = false;
        if (error != ERROR_BROKEN_PIPE)
            m_error = error;
    }

    // Nothing waits to be read right now.
    bool Empty() const
    {
        if (WaitForSingleObject(m_event.get(), 0) == WAIT_OBJECT_0)
            return false;
        DWORD available = 0;
        return !PeekNamedPipe(m_pipe.get(), 0, 0, 0, &available, 0) || available == 0;
    }

    // Gives up reading: the pending read is cancelled, keeping what it got.
    void Stop()
    {
        if (!m_reading)
            return;
        DWORD read = 0;
        CancelIoEx(m_pipe.get(), &m_overlapped);
        const bool done = GetOverlappedResult(m_pipe.get(), &m_overlapped, &read, TRUE) != FALSE;
        m_reading = false;
        if (done)
            m_lines.Add(&m_buffer[0], read);
    }

private:
    OutputPipe(const OutputPipe&);
    OutputPipe& operator=(const OutputPipe&);

    void startRead()
    {
        m_overlapped.Offset = m_overlapped.OffsetHigh = 0;
        // A read that ends at once sets the event as well: Collect takes it.
        if (ReadFile(m_pipe.get(), &m_buffer[0], kPipeBufferBytes, 0, &m_overlapped)) {
            m_reading = true;
            return;
        }
        const DWORD error = GetLastError();
        m_reading = error == ERROR_IO_PENDING;
        if (!m_reading && error != ERROR_BROKEN_PIPE)
            m_error = error;
    }

    ScopedHandle m_pipe;
    ScopedHandle m_childEnd;
    ScopedHandle m_event;
    OVERLAPPED m_overlapped;
    std::vector<char> m_buffer;
    bool m_reading;
    DWORD m_error;
    OutputLines& m_lines;
};

DWORD waitTime(ULONGLONG deadline)
{
    if (deadline == 0)
        return INFINITE;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline)
        return 0;
    return deadline - now >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(deadline - now);
}

// After the command ended: reads until both pipes are closed, for at most
// the drain time. A process the command started may hold a pipe's write end
// for as long as it lives; it is not waited for longer.
void drain(OutputPipe& output, OutputPipe& errors)
{
    const ULONGLONG deadline = GetTickCount64() + CommandWatch::kDrainMilliseconds;
    OutputPipe* const pipes[] = { &output, &errors };
    for (;;) {
        HANDLE events[2];
        OutputPipe* reading[2];
        DWORD count = 0;
        for (OutputPipe* pipe : pipes) {
            if (!pipe->Reading())
                continue;
            reading[count] = pipe;
            events[count++] = pipe->Event();
        }
        const DWORD wait = waitTime(deadline);
        if (count == 0 || wait == 0)
            return;
        const DWORD result = WaitForMultipleObjects(count, events, FALSE, wait);
        if (result >= WAIT_OBJECT_0 + count)
            return;
        reading[result - WAIT_OBJECT_0]->Collect();
    }
}

// The number of processes in the job that have not ended; 0 when it cannot
// be asked (the command itself has ended then, and nothing else is known).
DWORD activeProcesses(HANDLE job)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof(accounting), 0))
        return 0;
    return accounting.ActiveProcesses;
}

// A job whose processes may leave it when they ask to be started outside
// it, and which ends what is left in it when its last handle closes. 0 when
// it is ready, else the error.
DWORD createCommandJob(ScopedHandle& job)
{
    job.reset(CreateJobObjectW(0, 0));
    if (!job.valid())
        return GetLastError();
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        const DWORD error = GetLastError();
        job.close();
        return error;
    }
    return 0;
}
}

bool RunWatchedCommand(IActionContext& context, CMsiLogMessage& log, const std::wstring& commandLine, bool hide,
                       const WatchOptions& options, const SecretMask& mask, DWORD& exitCode, bool& timedOut)
{
    timedOut = false;
    const OutputCodePages codePages = ChildOutputCodePages(hide);
    LineBudget budget;
    // Output lines go to the context at the information level, as the log
    // object's lines do, each stream's built in one buffer of its own: a
    // command may write millions of them.
    std::wstring outputLine, errorLine;
    OutputLines outputLines(mask, codePages, budget, [&context, &outputLine](const std::wstring& text) {
        context.Log(LogLevelInfo, outputLine.assign(kOutputPrefix).append(text));
    });
    OutputLines errorLines(mask, codePages, budget, [&context, &errorLine](const std::wstring& text) {
        context.Log(LogLevelInfo, errorLine.assign(kErrorPrefix).append(text));
    });
    OutputPipe output(outputLines);
    OutputPipe errors(errorLines);
    if (options.capture) {
        DWORD error = output.Open();
        if (error == 0)
            error = errors.Open();
        if (error != 0) {
            logFailure(context, L"CreateNamedPipe", error);
            return false;
        }
    }

    // Every process the command starts joins its job (unless it asks to be
    // started outside it), so a time limit can wait for them all and end
    // them all.
    ScopedHandle job;
    if (options.timeoutSeconds > 0) {
        const DWORD error = createCommandJob(job);
        if (error != 0)
            logFailure(context, L"CreateJobObject", error, kTreeNotEnded);
    }

    // CreateProcessW may write into the command line, so give it a copy.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (hide) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    if (options.capture) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output.ChildEnd();
        startup.hStdError = errors.ChildEnd();
    }
    const DWORD flags = (hide ? CREATE_NO_WINDOW : 0) | (job.valid() ? CREATE_SUSPENDED : 0);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(0, &line[0], 0, 0, options.capture ? TRUE : FALSE, flags, 0, 0, &startup, &started)) {
        logFailure(context, L"CreateProcess", GetLastError());
        return false;
    }
    ScopedHandle process(started.hProcess);
    ScopedHandle thread(started.hThread);
    // Only the child holds the write ends now: when it (and whatever it
    // started) ends, the reads end.
    output.CloseChildEnd();
    errors.CloseChildEnd();

    bool wholeTree = false;
    if (job.valid()) {
        wholeTree = AssignProcessToJobObject(job.get(), process.get()) != FALSE;
        if (!wholeTree)
            logFailure(context, L"AssignProcessToJobObject", GetLastError(), kTreeNotEnded);
        if (ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
            const DWORD error = GetLastError();
            TerminateProcess(process.get(), error);
            logFailure(context, L"ResumeThread", error);
            return false;
        }
    }
    if (options.capture) {
        output.Start();
        errors.Start();
    }

    // With a time limit the command has ended when every process of its job
    // has; the job says so when asked, so once the command itself is gone
    // it is asked again at short intervals.
    const ULONGLONG deadline =
        options.timeoutSeconds > 0 ? GetTickCount64() + options.timeoutSeconds * 1000ULL : 0;
    bool commandEnded = false;
    for (;;) {
        if (commandEnded && (!wholeTree || activeProcesses(job.get()) == 0))
            break;
        HANDLE handles[3];
        OutputPipe* pipes[3] = { 0 };
        DWORD count = 0;
        if (!commandEnded)
            handles[count++] = process.get();
        for (OutputPipe* pipe : { &output, &errors }) {
            if (pipe->Reading()) {
                pipes[count] = pipe;
                handles[count++] = pipe->Event();
            }
        }
        DWORD wait = waitTime(deadline);
        if (commandEnded)
            wait = std::min<DWORD>(wait, CommandWatch::kJobPollMilliseconds);
        const DWORD result = count ? WaitForMultipleObjects(count, handles, FALSE, wait) : (Sleep(wait), WAIT_TIMEOUT);
        if (result < WAIT_OBJECT_0 + count) {
            if (pipes[result - WAIT_OBJECT_0])
                pipes[result - WAIT_OBJECT_0]->Collect();
            else
                commandEnded = true;
            continue;
        }
        if (result == WAIT_TIMEOUT) {
            if (deadline == 0 || GetTickCount64() < deadline)
                continue;
            timedOut = true;
            const bool ended = wholeTree ? TerminateJobObject(job.get(), ERROR_TIMEOUT) != FALSE
                                         : TerminateProcess(process.get(), ERROR_TIMEOUT) != FALSE;
            if (ended)
                WaitForSingleObject(process.get(), INFINITE);
            else
                logFailure(context, wholeTree ? L"TerminateJobObject" : L"TerminateProcess", GetLastError());
            break;
        }
        logFailure(context, L"WaitForMultipleObjects", GetLastError());
        return false;
    }

    drain(output, errors);
    output.Stop();
    errors.Stop();
    outputLines.Finish();
    errorLines.Finish();
    for (OutputPipe* pipe : { &output, &errors }) {
        if (pipe->Error() != 0)
            logFailure(context, L"Reading the command's output", pipe->Error());
    }
    if (budget.LeftOut() > 0) {
        CString leftOut;
        leftOut.Format(L"%lu more output lines left out of the log", budget.LeftOut());
        log.Log(leftOut);
    }

    if (timedOut) {
        CString line;
        line.Format(L"RunCommand: Command timed out after %lu %s; it was ended with every process it started",
                    options.timeoutSeconds, options.timeoutSeconds == 1 ? L"second" : L"seconds");
        context.Log(LogLevelError, line.str());
        exitCode = ERROR_TIMEOUT;
        return true;
    }
    if (!GetExitCodeProcess(process.get(), &exitCode)) {
        logFailure(context, L"GetExitCodeProcess", GetLastError());
        return false;
    }
    return true;
}
