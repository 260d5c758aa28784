#pragma once
#include <string>
#include <vector>

#include <windows.h>

#include "HostContext.h"
#include "Output.h"
#include "core/Action.h"

// Exit status of the host when an action let an exception out.
const int ActionThrewStatus = 3;

// The loaded action library; throws UsageFailure when it cannot be loaded.
// Its actions are the exports PlainExportNames lists, and only those.
class ActionLibrary {
public:
    explicit ActionLibrary(const std::wstring& path);
    ~ActionLibrary();
    HMODULE module() const { return m_module; }
    // The action; throws UsageFailure when the library has no action of
    // that name (a decorated or data export is no action).
    ActionFunction action(const std::wstring& name) const;
    const std::vector<std::string>& actionNames() const { return m_actions; }

private:
    ActionLibrary(const ActionLibrary&);
    ActionLibrary& operator=(const ActionLibrary&);
    HMODULE m_module;
    std::vector<std::string> m_actions;
};

class ChildOutput;

// Runs one action with its own context and reports its result; returns the
// status, or ActionThrewStatus when it let an exception out. The action's
// SensitiveData (its argument, else the property) joins the secrets the
// output masks before the action starts. With childOutput, what child
// processes write is shown before the result.
int RunAction(const ActionLibrary& library, const std::wstring& name, const HostContext::Values& arguments,
              HostContext::Values& properties, Output& output, ChildOutput* childOutput = 0);
