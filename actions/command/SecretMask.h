#pragma once
// Keeps a secret (SensitiveData) and, when asked, the whole command line out
// of the runner's log lines.
#include <string>

class SecretMask {
public:
    // secret: text replaced wherever it occurs (nothing when empty).
    // hideCommandLine: every command line is shown as the stars alone.
    SecretMask(const std::wstring& secret, bool hideCommandLine);

    // The text with every occurrence of the secret replaced by the stars.
    std::wstring Text(const std::wstring& text) const;
    // The command line as a log line may show it.
    std::wstring CommandLine(const std::wstring& commandLine) const;
    // Appends text to out with every occurrence of the secret that begins
    // before limit replaced, and returns how much of text that used (limit,
    // or more when a secret reaches past it). Text read in pieces is masked
    // as a whole when the next piece starts where this one stopped.
    std::size_t MaskInto(const std::wstring& text, std::size_t limit, std::wstring& out) const;
    std::size_t SecretLength() const { return m_secret.size(); }

    static const wchar_t* const Stars;

private:
    std::wstring m_secret;
    bool m_hideCommandLine;
};

// What follows "Get CmdLine: ": the command line when logCmdLine is "yes", the
// logCmdLine value itself for any other value, the stars alone for "no"; the
// secret is masked in either text.
std::wstring CommandLineEcho(const std::wstring& commandLine, const std::wstring& logCmdLine,
                             const SecretMask& mask);
