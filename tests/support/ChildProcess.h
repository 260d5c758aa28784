#pragma once
// Runs a program of the build as a child process and collects what it
// writes to standard output.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include <windows.h>

struct ChildResult {
    unsigned long exitCode;
    std::string output;
};

// commandLine is handed to CreateProcessW as it is; the child inherits the
// environment (so it finds the DLLs of dist/). Throws std::runtime_error when
// the program cannot be started.
ChildResult RunChild(const std::wstring& commandLine);

// A child started without waiting for it: its standard output is collected
// while it runs, so a test can wait for a line it writes. The child is ended
// when the object goes and it still runs.
class StartedChild {
public:
    // As RunChild. Throws std::runtime_error when it cannot be started.
    explicit StartedChild(const std::wstring& commandLine);
    ~StartedChild();

    // True once the output holds `text`; false when the child ended, or the
    // time ran out, without it.
    bool WaitForOutput(const std::string& text, unsigned long milliseconds);
    // True when the child has ended within the time.
    bool Ended(unsigned long milliseconds) const;
    // Ends the child at once, as if it crashed, and waits until it is gone.
    void Kill();
    // Waits for the end: the exit code and everything it wrote.
    ChildResult Finish();

private:
    StartedChild(const StartedChild&);
    StartedChild& operator=(const StartedChild&);
    void readOutput();

    HANDLE m_process;
    HANDLE m_output;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_text;
    bool m_outputClosed;
};

// A command-line argument quoted for the child's argument parser.
std::wstring QuotedArgument(const std::wstring& argument);

// The folder of the running test program, and the build's dist/ folder.
std::wstring TestProgramFolder();
std::wstring DistFolder();
