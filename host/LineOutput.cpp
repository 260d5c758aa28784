#include "LineOutput.h"

#include "core/LogLevel.h"

#include "Output.h"

std::wstring ExceptionLine(const std::wstring& action, const std::wstring& what)
{
    return action + L" failed with an exception: " + what;
}

std::wstring LineOutput::masked(const std::wstring& text) const
{
    return m_secrets.Mask(text);
}

void LineOutput::log(int level, const std::wstring& text)
{
    writeLine(level, masked(text));
}

void LineOutput::property(const std::wstring& name, const std::wstring& value)
{
    writeProperty(name, value);
}

void LineOutput::installLog(const std::wstring& text)
{
    writeInstallLog(masked(text));
}

void LineOutput::result(const std::wstring&, int) {}

void LineOutput::exception(const std::wstring& action, const std::string& what)
{
    log(LogLevelError, ExceptionLine(action, wide(what)));
}

void LineOutput::step(size_t index, size_t of, const std::wstring& action)
{
    log(LogLevelInfo, L"== step " + std::to_wstring(index) + L" of " + std::to_wstring(of) + L": " + action);
}

void LineOutput::rollback(size_t index, const std::wstring& action)
{
    log(LogLevelInfo, L"== rollback of step " + std::to_wstring(index) + L": " + action);
}

void LineOutput::plan(int status, bool interrupted, const std::wstring& keptFolder)
{
    if (interrupted)
        log(LogLevelWarning, L"== the plan was interrupted; it ends with status " + std::to_wstring(status));
    if (!keptFolder.empty())
        log(LogLevelWarning, L"== a rollback step failed or left state behind; the plan's folder is kept: " + keptFolder);
}

void LineOutput::note(const std::string& text)
{
    log(LogLevelInfo, wide(text));
}

void LineOutput::failure(const std::string& text)
{
    log(LogLevelError, wide(text));
}
