#include "Plan.h"

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "UsageFailure.h"

namespace {
const wchar_t* const kInvocationDataDir = L"$action.invocationdata.dir";

std::wstring jsonText(const nlohmann::json& value)
{
    return wide(value.is_string() ? value.get<std::string>() : value.dump());
}

HostContext::Values jsonValues(const nlohmann::json& object, const std::string& where)
{
    HostContext::Values values;
    if (object.is_null())
        return values;
    if (!object.is_object())
        throw UsageFailure{ where + " must be an object" };
    for (nlohmann::json::const_iterator it = object.begin(); it != object.end(); ++it)
        values[wide(it.key())] = jsonText(it.value());
    return values;
}

PlanAction jsonAction(const nlohmann::json& step, const std::string& where)
{
    if (!step.is_object() || !step.contains("action") || !step["action"].is_string())
        throw UsageFailure{ where + " needs an \"action\" text" };
    return PlanAction{ wide(step["action"].get<std::string>()),
                       jsonValues(step.value("args", nlohmann::json()), where + " args") };
}

// A folder of its own for every step, under the host's temporary folder,
// removed with its content when the plan ends.
class InvocationFolders {
public:
    InvocationFolders()
    {
        wchar_t temp[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        m_root = std::wstring(temp, length) + L"verrand-plan-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_root.c_str(), 0);
    }
    ~InvocationFolders() { removeTree(m_root); }

    std::wstring make(size_t step)
    {
        const std::wstring folder = m_root + L"\\step-" + std::to_wstring(step);
        if (!CreateDirectoryW(folder.c_str(), 0) && GetLastError() != ERROR_ALREADY_EXISTS)
            throw UsageFailure{ "cannot create the invocation-data folder " + utf8(folder) + " (error " +
                                std::to_string(GetLastError()) + ")" };
        return folder;
    }

private:
    static void removeTree(const std::wstring& path)
    {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring child = path + L"\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removeTree(child);
                } else {
                    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(child.c_str());
                }
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(path.c_str());
    }

    std::wstring m_root;
};

int runWithFolder(const ActionLibrary& library, const PlanAction& action, const std::wstring& folder,
                  HostContext::Values& properties, Output& output)
{
    // Plan arguments may refer to properties set by earlier steps.
    HostContext::Values arguments;
    for (HostContext::Values::const_iterator it = action.arguments.begin(); it != action.arguments.end(); ++it)
        arguments[it->first] = ExpandProperties(it->second, properties, KeepUnknownReferences);
    arguments[kInvocationDataDir] = folder;
    return RunAction(library, action.action, arguments, properties, output);
}
}

Plan ParsePlan(const std::string& text, const std::string& name)
{
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        throw UsageFailure{ "plan " + name + ": " + e.what() };
    }
    const std::string where = "plan " + name + ": ";
    if (!document.is_object())
        throw UsageFailure{ where + "the plan must be a JSON object" };
    Plan plan;
    plan.properties = jsonValues(document.value("properties", nlohmann::json()), where + "properties");
    const nlohmann::json steps = document.value("steps", nlohmann::json::array());
    if (!steps.is_array())
        throw UsageFailure{ where + "steps must be an array" };
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::string stepName = where + "step " + std::to_string(i + 1);
        PlanStep step;
        step.action = jsonAction(steps[i], stepName);
        step.hasRollback = steps[i].contains("rollback");
        if (step.hasRollback)
            step.rollback = jsonAction(steps[i]["rollback"], stepName + " rollback");
        plan.steps.push_back(step);
    }
    return plan;
}

Plan ReadPlan(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file)
        throw UsageFailure{ "cannot read plan " + utf8(path) };
    std::stringstream content;
    content << file.rdbuf();
    return ParsePlan(content.str(), utf8(path));
}

int RunPlan(const ActionLibrary& library, const Plan& plan, HostContext::Values& properties, Output& output)
{
    for (HostContext::Values::const_iterator it = plan.properties.begin(); it != plan.properties.end(); ++it)
        properties.insert(*it);
    // Every action must exist before the first one runs.
    for (const PlanStep& step : plan.steps) {
        library.action(step.action.action);
        if (step.hasRollback)
            library.action(step.rollback.action);
    }

    InvocationFolders folders;
    std::vector<std::wstring> stepFolders;
    const std::string total = std::to_string(plan.steps.size());
    for (size_t i = 0; i < plan.steps.size(); ++i) {
        const PlanStep& step = plan.steps[i];
        output.note("== step " + std::to_string(i + 1) + " of " + total + ": " + utf8(step.action.action));
        stepFolders.push_back(folders.make(i + 1));
        const int status = runWithFolder(library, step.action, stepFolders.back(), properties, output);
        if (status == 0)
            continue;
        if (status == 1 || status == ActionThrewStatus) {
            output.note("== rolling back");
            for (size_t done = i + 1; done-- > 0;) {
                const PlanStep& undo = plan.steps[done];
                if (!undo.hasRollback)
                    continue;
                output.note("== rollback of step " + std::to_string(done + 1) + ": " + utf8(undo.rollback.action));
                runWithFolder(library, undo.rollback, stepFolders[done], properties, output);
            }
        }
        return status;
    }
    return 0;
}
