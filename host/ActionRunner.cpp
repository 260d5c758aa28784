#include "ActionRunner.h"

#include <Poco/Exception.h>

#include "UsageFailure.h"

ActionLibrary::ActionLibrary(const std::wstring& path) : m_module(LoadLibraryW(path.c_str()))
{
    if (!m_module)
        throw UsageFailure{ "cannot load " + utf8(path) + " (error " + std::to_string(GetLastError()) + ")" };
}

ActionLibrary::~ActionLibrary()
{
    FreeLibrary(m_module);
}

ActionFunction ActionLibrary::action(const std::wstring& name) const
{
    ActionFunction function = reinterpret_cast<ActionFunction>(GetProcAddress(m_module, utf8(name).c_str()));
    if (!function)
        throw UsageFailure{ "the library does not export the action " + utf8(name) };
    return function;
}

int RunAction(const ActionLibrary& library, const std::wstring& name, const HostContext::Values& arguments,
              HostContext::Values& properties, Output& output)
{
    ActionFunction function = library.action(name);
    boost::shared_ptr<IActionContext> context(new HostContext(output, properties, arguments));
    try {
        const int status = function(context);
        output.result(name, status);
        return status;
    } catch (const Poco::Exception& e) {
        output.exception(name, e.displayText());
    } catch (const std::exception& e) {
        output.exception(name, e.what());
    } catch (...) {
        output.exception(name, "unknown exception");
    }
    return ActionThrewStatus;
}
