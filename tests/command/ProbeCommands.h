#pragma once
// Command lines for the probe program and the files it writes, plus a
// context that fails while logging, for the runner's catch-all.
#include <stdexcept>
#include <string>

#include "support/RecordingContext.h"

// The 32-bit and 64-bit probe next to the test program.
std::wstring ProbePath();
std::wstring Probe64Path();

// The 32-bit probe, quoted, followed by options (file names in options are
// quoted by the caller with Quoted).
std::wstring ProbeCommand(const std::wstring& options);
std::wstring Quoted(const std::wstring& text);

// The probe's run counter; 0 when the file does not exist.
int ReadCount(const std::wstring& counterFile);
// A text the probe wrote, as UTF-16.
std::wstring ReadProbeText(const std::wstring& file);
// Waits until the file exists (a child started without waiting may still be
// running); false when it does not appear within a minute.
bool WaitForFile(const std::wstring& path);
// Waits until the counter reaches count; false when it does not within a minute.
bool WaitForCount(const std::wstring& counterFile, int count);

// The recorded lines written through the runner's log object, without their
// "RunCommand: " prefix.
std::vector<std::wstring> RunnerLines(const RecordingContext& context);

// A context whose Log throws once a line starting with a given text has been
// recorded, the way a failing host would.
class FailingLogContext : public RecordingContext {
public:
    explicit FailingLogContext(const std::wstring& failOn) : m_failOn(failOn) {}
    static boost::shared_ptr<FailingLogContext> Create(const std::wstring& failOn)
    {
        return boost::shared_ptr<FailingLogContext>(new FailingLogContext(failOn));
    }
    void Log(int level, const std::wstring& message)
    {
        RecordingContext::Log(level, message);
        if (message.compare(0, m_failOn.size(), m_failOn) == 0)
            throw std::runtime_error("host log failed");
    }

private:
    std::wstring m_failOn;
};
