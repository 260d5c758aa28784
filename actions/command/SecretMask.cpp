#include "SecretMask.h"

const wchar_t* const SecretMask::Stars = L"********";

SecretMask::SecretMask(const std::wstring& secret, bool hideCommandLine)
    : m_secret(secret), m_hideCommandLine(hideCommandLine)
{
}

std::wstring SecretMask::Text(const std::wstring& text) const
{
    std::wstring masked;
    MaskInto(text, text.size(), masked);
    return masked;
}

std::size_t SecretMask::MaskInto(const std::wstring& text, std::size_t limit, std::wstring& out) const
{
    std::size_t at = 0;
    if (!m_secret.empty()) {
        for (;;) {
            const std::size_t hit = text.find(m_secret, at);
            if (hit == std::wstring::npos || hit >= limit)
                break;
            out.append(text, at, hit - at);
            out += Stars;
            at = hit + m_secret.size();
        }
    }
    if (at < limit) {
        out.append(text, at, limit - at);
        at = limit;
    }
    return at;
}

std::wstring SecretMask::CommandLine(const std::wstring& commandLine) const
{
    return m_hideCommandLine ? std::wstring(Stars) : Text(commandLine);
}

std::wstring CommandLineEcho(const std::wstring& commandLine, const std::wstring& logCmdLine,
                             const SecretMask& mask)
{
    if (logCmdLine == L"no")
        return SecretMask::Stars;
    return mask.Text(logCmdLine == L"yes" ? commandLine : logCmdLine);
}
