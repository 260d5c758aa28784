#pragma once
// Keeps secrets (SensitiveData) and, when asked, the whole command line out
// of log lines: in text, and in the raw bytes a command writes, in every
// form a program can write a secret in.
#include <cstddef>
#include <string>
#include <vector>

class SecretMask {
public:
    // secret: text replaced wherever it occurs (nothing when empty).
    // hideCommandLine: every command line is shown as the stars alone.
    SecretMask(const std::wstring& secret, bool hideCommandLine);
    // Several secrets; empty ones are ignored.
    SecretMask(const std::vector<std::wstring>& secrets, bool hideCommandLine);

    // One more secret to mask from now on; an empty one is ignored.
    void Add(const std::wstring& secret);

    // The text with every occurrence of a secret replaced by the stars.
    // Where secrets overlap (or one holds another) the longest one at the
    // earliest place is masked, together with every occurrence that overlaps
    // it, so no piece of any secret shows.
    std::wstring Text(const std::wstring& text) const;
    // The command line as a log line may show it.
    std::wstring CommandLine(const std::wstring& commandLine) const;
    // Appends text to out with every occurrence of a secret that begins
    // before limit replaced, and returns how much of text that used (limit,
    // or more when a secret reaches past it). Text read in pieces is masked
    // as a whole when the next piece starts where this one stopped and each
    // piece keeps the last LongestText() - 1 characters back.
    std::size_t MaskInto(const std::wstring& text, std::size_t limit, std::wstring& out) const;
    // The same for raw output bytes, with the secrets' byte forms: UTF-8,
    // the ANSI and OEM code pages (and the console's, when it differs), each
    // also as a lossy conversion writes a secret the code page cannot hold
    // (its letters as '?' or as best-fit stand-ins), UTF-16LE. The stars are
    // ASCII, which reads the same in all of them.
    std::size_t MaskBytesInto(const std::string& bytes, std::size_t limit, std::string& out) const;

    bool Empty() const { return m_secrets.empty(); }
    // The longest secret, in characters and in bytes (0 when none).
    std::size_t LongestText() const { return m_secrets.empty() ? 0 : m_secrets.front().size(); }
    std::size_t LongestBytes() const { return m_byteForms.empty() ? 0 : m_byteForms.front().size(); }

    static const wchar_t* const Stars;

private:
    std::vector<std::wstring> m_secrets;  // longest first
    std::vector<std::string> m_byteForms; // longest first
    bool m_hideCommandLine;
};

// What follows "Get CmdLine: ": the command line when logCmdLine is "yes", the
// logCmdLine value itself for any other value, the stars alone for "no"; the
// secret is masked in either text.
std::wstring CommandLineEcho(const std::wstring& commandLine, const std::wstring& logCmdLine,
                             const SecretMask& mask);
