#pragma once
// The output of a front door that shows a run as plain lines with levels
// (the C interface's log callback, the NSIS plugin's details and log):
// steps, twins and the plan's end as level-2 lines in the host's words, an
// exception as a level-4 line, and every text masked with the secrets of
// the actions run so far.
#include <string>

#include "core/KnownSecrets.h"

#include "RunOutput.h"

class LineOutput : public RunOutput {
public:
    virtual ~LineOutput() {}

    KnownSecrets& secrets() { return m_secrets; }
    void log(int level, const std::wstring& text);
    void property(const std::wstring& name, const std::wstring& value);
    void result(const std::wstring& action, int status);
    void exception(const std::wstring& action, const std::string& what);
    void step(size_t index, size_t of, const std::wstring& action);
    void rollback(size_t index, const std::wstring& action);
    void plan(int status, bool interrupted, const std::wstring& keptFolder);
    void note(const std::string& text);
    void failure(const std::string& text);
    // A line of the process-wide install log.
    void installLog(const std::wstring& text);

    // The text with every secret so far masked.
    std::wstring masked(const std::wstring& text) const;

protected:
    // Where the lines go: each whole and masked, one at a time.
    virtual void writeLine(int level, const std::wstring& text) = 0;
    virtual void writeProperty(const std::wstring& name, const std::wstring& value) = 0;
    virtual void writeInstallLog(const std::wstring& text) = 0;

private:
    KnownSecrets m_secrets;
};

// "ACTION failed with an exception: WHAT", the level-4 line of an action
// that let an exception out.
std::wstring ExceptionLine(const std::wstring& action, const std::wstring& what);
