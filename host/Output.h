#pragma once
#include <string>

// Everything the host prints, as human lines or one JSON object per line.
class Output {
public:
    explicit Output(bool json) : m_json(json) {}

    bool json() const { return m_json; }
    void log(int level, const std::wstring& text);
    void property(const std::wstring& name, const std::wstring& value);
    void installLog(const std::string& text);
    void result(const std::wstring& action, int status);
    void exception(const std::wstring& action, const std::string& what);
    // A line for people only; nothing in JSON mode.
    void note(const std::string& text);
    // One clear line on standard error.
    static void error(const std::string& text);

private:
    void write(const std::string& line);
    bool m_json;
};

std::string utf8(const std::wstring& text);
std::wstring wide(const std::string& text);
