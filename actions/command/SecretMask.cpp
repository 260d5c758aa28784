#include "SecretMask.h"

#include "PocoWrapper/String.h"

const wchar_t* const SecretMask::Stars = L"********";

SecretMask::SecretMask(const std::wstring& secret, bool hideCommandLine)
    : m_secret(secret), m_hideCommandLine(hideCommandLine)
{
}

std::wstring SecretMask::Text(const std::wstring& text) const
{
    std::wstring masked(text);
    if (!m_secret.empty())
        PocoWrapper::replaceInPlace(masked, m_secret, Stars);
    return masked;
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
