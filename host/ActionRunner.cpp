#include "ActionRunner.h"

#include <algorithm>

#include <Poco/Exception.h>

#include "ExportList.h"
#include "UsageFailure.h"

ActionLibrary::ActionLibrary(const std::wstring& path) : m_module(LoadLibraryW(path.c_str()))
{
    if (!m_module)
        throw UsageFailure{ "cannot load " + utf8(path) + " (error " + std::to_string(GetLastError()) + ")" };
    // The functions of Verrand.dll's C interface (include/verrand/verrand.h)
    // are plain exports too, each named Verrand...; no action is.
    for (const std::string& name : PlainExportNames(m_module)) {
        if (name.compare(0, 7, "Verrand") != 0)
            m_actions.push_back(name);
    }
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

ActionFunction ActionTable::action(const std::wstring& name) const
{
    for (size_t i = 0; i < m_count; ++i) {
        if (name == m_entries[i].name)
            return m_entries[i].function;
    }
    throw UsageFailure{ "there is no action " + utf8(name) };
}

int CallAction(ActionFunction function, boost::shared_ptr<IActionContext> context, std::string& thrown, bool& threw)
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

int RunAction(const ActionFinder& actions, const std::wstring& name, const HostContext::Values& arguments,
              HostContext::Values& properties, RunOutput& output, ActionObserver* observer)
{
    ActionFunction function = actions.action(name);
    boost::shared_ptr<IActionContext> context(new HostContext(output, properties, arguments));
    // From here on every line the output shows, child output included, masks
    // the action's SensitiveData too.
    output.secrets().LearnFrom(*context);
    bool threw = false;
    std::string thrown;
    const int status = CallAction(function, context, thrown, threw);
    if (observer)
        observer->flush();
    if (threw)
        output.exception(name, thrown);
    else
        output.result(name, status);
    return status;
}
