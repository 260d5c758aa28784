#include "ActionRunner.h"

#include <algorithm>

#include <Poco/Exception.h>

#include "ChildOutput.h"
#include "ExportList.h"
#include "UsageFailure.h"

ActionLibrary::ActionLibrary(const std::wstring& path) : m_module(LoadLibraryW(path.c_str()))
{
    if (!m_module)
        throw UsageFailure{ "cannot load " + utf8(path) + " (error " + std::to_string(GetLastError()) + ")" };
    m_actions = PlainExportNames(m_module);
}

ActionLibrary::~ActionLibrary()
{
    FreeLibrary(m_module);
}

ActionFunction ActionLibrary::action(const std::wstring& name) const
{
    const std::string plainName = utf8(name);
    const bool listed = std::find(m_actions.begin(), m_actions.end(), plainName) != m_actions.end();
    ActionFunction function =
        listed ? reinterpret_cast<ActionFunction>(GetProcAddress(m_module, plainName.c_str())) : 0;
    if (!function)
        throw UsageFailure{ "the library does not export the action " + utf8(name) };
    return function;
}

namespace {
void maskSecretOf(const HostContext::Values& arguments, const HostContext::Values& properties,
                  ChildOutput& childOutput)
{
    const wchar_t* const sensitiveData = L"SensitiveData";
    HostContext::Values::const_iterator secret = arguments.find(sensitiveData);
    if (secret != arguments.end()) {
        childOutput.addSecret(secret->second);
        return;
    }
    secret = properties.find(sensitiveData);
    if (secret != properties.end())
        childOutput.addSecret(secret->second);
}

// The action's status; when it lets an exception out, ActionThrewStatus
// with the exception's text in `thrown`.
int callAction(ActionFunction function, boost::shared_ptr<IActionContext> context, bool& threw, std::string& thrown)
{
    threw = true;
    try {
        const int status = function(context);
        threw = false;
        return status;
    } catch (const Poco::Exception& e) {
        thrown = e.displayText();
    } catch (const std::exception& e) {
        thrown = e.what();
    } catch (...) {
        thrown = "unknown exception";
    }
    return ActionThrewStatus;
}
}

int RunAction(const ActionLibrary& library, const std::wstring& name, const HostContext::Values& arguments,
              HostContext::Values& properties, Output& output, ChildOutput* childOutput)
{
    ActionFunction function = library.action(name);
    if (childOutput)
        maskSecretOf(arguments, properties, *childOutput);
    bool threw = false;
    std::string thrown;
    const int status = callAction(
        function, boost::shared_ptr<IActionContext>(new HostContext(output, properties, arguments)), threw, thrown);
    if (childOutput)
        childOutput->flush();
    if (threw)
        output.exception(name, thrown);
    else
        output.result(name, status);
    return status;
}
