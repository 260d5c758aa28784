#pragma once
#include <string>

#include <windows.h>

#include "HostContext.h"
#include "Output.h"

typedef int(__stdcall* ActionFunction)(boost::shared_ptr<IActionContext>);

// Exit status of the host when an action let an exception out.
const int ActionThrewStatus = 3;

// The loaded action library; throws UsageFailure when it cannot be loaded.
class ActionLibrary {
public:
    explicit ActionLibrary(const std::wstring& path);
    ~ActionLibrary();
    HMODULE module() const { return m_module; }
    // The export; throws UsageFailure when the library does not export it.
    ActionFunction action(const std::wstring& name) const;

private:
    ActionLibrary(const ActionLibrary&);
    ActionLibrary& operator=(const ActionLibrary&);
    HMODULE m_module;
};

// Runs one action with its own context and reports its result; returns the
// status, or ActionThrewStatus when it let an exception out.
int RunAction(const ActionLibrary& library, const std::wstring& name, const HostContext::Values& arguments,
              HostContext::Values& properties, Output& output);
