#pragma once
#include <string>
#include <vector>

#include <windows.h>

#include "HostContext.h"
#include "Output.h"
#include "core/Action.h"

// Exit status of the host when an action let an exception out.
const int ActionThrewStatus = 3;

// Where a run finds its actions by name.
class ActionFinder {
public:
    // The action; throws UsageFailure when there is no action of that name.
    virtual ActionFunction action(const std::wstring& name) const = 0;

protected:
    ~ActionFinder() {}
};

// The loaded action library; throws UsageFailure when it cannot be loaded.
// Its actions are the exports PlainExportNames lists but the functions of
// the C interface, and only those.
class ActionLibrary : public ActionFinder {
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

// An action compiled into the module that runs it, with what the action
// reference says of it: what it does, in one sentence, and its rollback
// twin (empty when it has none).
struct ActionEntry {
    const wchar_t* name;
    ActionFunction function;
    const wchar_t* sentence;
    const wchar_t* twin;
};

// The table cmake/ActionTable.cmake generates for a module, in name order.
extern const ActionEntry kCompiledActions[];
extern const size_t kCompiledActionCount;

class ActionTable : public ActionFinder {
public:
    ActionTable(const ActionEntry* entries, size_t count) : m_entries(entries), m_count(count) {}
    ActionFunction action(const std::wstring& name) const;

private:
    const ActionEntry* m_entries;
    size_t m_count;
};

// Calls the action; when it lets an exception out, gives ActionThrewStatus
// and the exception's text in `thrown` (empty otherwise). Never throws but
// for a lack of memory while taking the text.
int CallAction(ActionFunction function, boost::shared_ptr<IActionContext> context, std::string& thrown,
               bool& threw);

// Runs one action with its own context and reports its result; returns the
// status, or ActionThrewStatus when it let an exception out. The action's
// SensitiveData (its argument, else the property) joins the secrets the
// output masks before the action starts. With an observer (the host's
// child output), it is flushed before the result is reported.
int RunAction(const ActionFinder& actions, const std::wstring& name, const HostContext::Values& arguments,
              HostContext::Values& properties, RunOutput& output, ActionObserver* observer = 0);
