#pragma once
#include <mutex>
#include <string>

#include "RunOutput.h"

// Everything the host prints, as human lines or one JSON object per line.
// Every text an event carries (a log line, a property's value as shown, an
// install-log line, an action's name, an exception's text, a child's line, a
// kept folder) is masked with the secrets the run has met so far. Human
// lines show the values they carry with control characters escaped; JSON
// escapes them itself. Lines are written whole, one at a time, from any
// thread.
class Output : public RunOutput {
public:
    explicit Output(bool json) : m_json(json) {}

    bool json() const { return m_json; }
    // The secrets of the steps run so far.
    KnownSecrets& secrets() { return m_secrets; }
    void log(int level, const std::wstring& text);
    void property(const std::wstring& name, const std::wstring& value);
    void installLog(const std::string& text);
    void result(const std::wstring& action, int status);
    void exception(const std::wstring& action, const std::string& what);
    // A line a child process wrote to the standard output or error it got
    // from the host ("stdout" or "stderr"); JSON mode only.
    void childOutput(const char* stream, const std::wstring& text);
    void step(size_t index, size_t of, const std::wstring& action);
    void rollback(size_t index, const std::wstring& action);
    void plan(int status, bool interrupted, const std::wstring& keptFolder);
    // An interruption (the console's event name); ignored when one came
    // before.
    void interrupt(const std::string& event, bool ignored);
    // Nothing in JSON mode.
    void note(const std::string& text);
    // On standard error.
    void failure(const std::string& text) { error(text); }
    // One clear line on standard error.
    static void error(const std::string& text);

private:
    void write(const std::string& line);
    void human(const std::string& prefix, const std::wstring& value, const std::string& suffix = std::string());
    std::wstring shown(const std::wstring& text) const { return m_secrets.Mask(text); }
    std::string shownUtf8(const std::wstring& text) const;
    bool m_json;
    KnownSecrets m_secrets;
    std::mutex m_mutex;
};

std::string utf8(const std::wstring& text);
std::wstring wide(const std::string& text);
