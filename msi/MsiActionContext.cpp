#include "MsiActionContext.h"

#include "core/LogLevel.h"
#include "core/PackageStepNames.h"

#include "StepArguments.h"

std::wstring InstallerLogLine(const std::wstring& action, int level, const std::wstring& text)
{
    return L"Verrand " + action + L" level " + std::to_wstring(level) + L": " + text;
}

MsiActionContext::MsiActionContext(MSIHANDLE install, const std::wstring& action,
                                   const CustomActionArguments& arguments)
    : m_install(install), m_action(action), m_mode(ModeUnknown), m_arguments(arguments)
{
}

boost::shared_ptr<MsiActionContext> MsiActionContext::Create(MSIHANDLE install, const std::wstring& action)
{
    std::wstring data;
    const UINT result = ReadInstallerProperty(install, L"CustomActionData", data);
    CustomActionArguments arguments;
    std::wstring refusal;
    ParseCustomActionData(data, arguments, refusal);
    boost::shared_ptr<MsiActionContext> context(new MsiActionContext(install, action, arguments));
    context->m_refusal = refusal;
    if (result != ERROR_SUCCESS)
        context->Log(LogLevelError, L"Couldn't read CustomActionData (error " + std::to_wstring(result) + L")");
    else if (data.empty())
        context->takeStepArguments();
    // Every line this process sends to the log from now on masks it.
    InstallerLogSecrets().LearnFrom(*context);
    return context;
}

void MsiActionContext::takeStepArguments()
{
    std::wstring step;
    UINT result = ReadInstallerProperty(m_install, PackageStepNames::StepProperty, step);
    if (result != ERROR_SUCCESS || step.empty())
        return;
    // Read once: an action called later without a step of its own must not
    // take this step's arguments.
    MsiSetPropertyW(m_install, PackageStepNames::StepProperty, L"");
    StepArgumentsByAction arguments;
    std::wstring what;
    result = FormatStepArguments(m_install, step, arguments, what);
    if (result != ERROR_SUCCESS) {
        Log(LogLevelError, L"Couldn't " + what + L" (error " + std::to_wstring(result) + L")");
        return;
    }
    m_arguments = arguments[step];
}

void MsiActionContext::Log(int level, const std::wstring& message)
{
    // Nothing else can report a line the installer refused.
    SendInstallerLogLine(m_install, InstallerLogLine(m_action, level, message));
}

void MsiActionContext::LogInstallLogLine(const std::wstring& line)
{
    SendInstallerLogLine(m_install, L"Verrand " + m_action + L" install log: " + line);
}

boost::shared_ptr<std::wstring> MsiActionContext::GetArg(const std::wstring& name)
{
    const CustomActionArguments::const_iterator found = m_arguments.find(name);
    if (found != m_arguments.end())
        return boost::shared_ptr<std::wstring>(new std::wstring(found->second));
    boost::shared_ptr<std::wstring> value(new std::wstring);
    const UINT result = ReadInstallerProperty(m_install, name, *value);
    if (result != ERROR_SUCCESS) {
        Log(LogLevelError, L"Couldn't read property " + name + L" (error " + std::to_wstring(result) + L")");
        value->clear();
    }
    return value;
}

void MsiActionContext::SetProperty(const std::wstring& name, const std::wstring& value)
{
    if (fromScript()) {
        Log(LogLevelInfo, L"Property " + name + L" = " + value +
                              L" not kept: a deferred, rollback or commit action cannot set properties");
        return;
    }
    const UINT result = MsiSetPropertyW(m_install, name.c_str(), value.c_str());
    if (result != ERROR_SUCCESS)
        Log(LogLevelError, L"Couldn't set property " + name + L" (error " + std::to_wstring(result) + L")");
}

bool MsiActionContext::fromScript()
{
    if (m_mode == ModeUnknown)
        m_mode = RunsFromInstallScript(m_install) ? ModeScript : ModeImmediate;
    return m_mode == ModeScript;
}

std::wstring MsiActionContext::FormatString(const std::wstring& text, const std::wstring&)
{
    std::wstring formatted;
    const UINT result = FormatInstallerText(m_install, text, formatted);
    if (result == ERROR_SUCCESS)
        return formatted;
    Log(LogLevelError, L"Couldn't format " + text + L" (error " + std::to_wstring(result) + L")");
    return text;
}
