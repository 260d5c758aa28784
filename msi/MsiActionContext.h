#pragma once
// The action context of a custom action: arguments from CustomActionData,
// then from the installer's properties; log lines into the package's log.
#include <string>

#include <boost/shared_ptr.hpp>

#include "core/ActionContextBase.h"

#include "CustomActionData.h"
#include "InstallerSession.h"

// "Verrand <action> level <N>: <text>", the form every line of an action
// takes in the package's log.
std::wstring InstallerLogLine(const std::wstring& action, int level, const std::wstring& text);

class MsiActionContext : public ActionContextBase {
public:
    MsiActionContext(MSIHANDLE install, const std::wstring& action, const CustomActionArguments& arguments);
    virtual ~MsiActionContext() {}

    // Reads the session's CustomActionData; without any, the arguments of
    // the package step PackageStepNames::StepProperty names (an immediate
    // step of a package that `verrand-host msi` wrote), formatted now. The
    // action's SensitiveData joins the secrets of InstallerLogSecrets.
    static boost::shared_ptr<MsiActionContext> Create(MSIHANDLE install, const std::wstring& action);

    // A line at any level goes to the log as an information message: an
    // error message would raise a dialog or stop the installation.
    void Log(int level, const std::wstring& message);
    // The CustomActionData pair of that name, else the property, else empty.
    boost::shared_ptr<std::wstring> GetArg(const std::wstring& name);
    // Sets the property in an immediate action; from the script the
    // installer keeps none, which the log says.
    void SetProperty(const std::wstring& name, const std::wstring& value);
    // The installer's formatting of text; text itself when that fails.
    std::wstring FormatString(const std::wstring& text, const std::wstring& second);

    // A line of the process-wide install log.
    void LogInstallLogLine(const std::wstring& line);

    // Why CustomActionData was refused (the action must not run then);
    // empty when it was read.
    const std::wstring& Refusal() const { return m_refusal; }

private:
    void takeStepArguments();
    // True when the action runs deferred, as rollback or as commit. Asked
    // once, when first needed: every question is a call into the installer
    // process, and most actions never set a property.
    bool fromScript();

    enum RunMode { ModeUnknown, ModeImmediate, ModeScript };
    MSIHANDLE m_install;
    std::wstring m_action;
    RunMode m_mode;
    CustomActionArguments m_arguments;
    std::wstring m_refusal;
};
