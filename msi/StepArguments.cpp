#include "StepArguments.h"

#include <map>
#include <vector>

#include "core/LogLevel.h"
#include "core/MsiQuery.h"
#include "core/PackageStepNames.h"
#include "core/FileIdentity.h"
#include "core/RandomName.h"

#include "InstallerSession.h"
#include "MsiActionContext.h"

namespace {
// Formats each argument of each row the query (Action, Arguments) gives. A
// value met before is formatted once: nothing sets a property meanwhile,
// and most steps share some ($du$action is the same in all of them).
UINT formatRows(MSIHANDLE install, const std::wstring& query, MSIHANDLE parameters, StepArgumentsByAction& arguments,
                std::wstring& what)
{
    ScopedMsiHandle database(MsiGetActiveDatabase(install));
    if (!database.get()) {
        what = L"open the running package's database";
        return ERROR_INVALID_HANDLE;
    }
    std::map<std::wstring, std::wstring> formattedValues;
    return EachRow(
        database.get(), query, parameters,
        [&](MSIHANDLE record) {
            std::wstring action, text, refusal;
            UINT result = ReadRecordText(record, 1, action);
            if (result == ERROR_SUCCESS)
                result = ReadRecordText(record, 2, text);
            if (result != ERROR_SUCCESS)
                return result;
            CustomActionArguments unformatted;
            if (!ParseCustomActionData(text, unformatted, refusal))
                return static_cast<UINT>(ERROR_INVALID_DATA);
            CustomActionArguments& formatted = arguments[action];
            for (const auto& argument : unformatted) {
                std::map<std::wstring, std::wstring>::const_iterator known = formattedValues.find(argument.second);
                if (known == formattedValues.end()) {
                    std::wstring value;
                    result = FormatInstallerText(install, argument.second, value);
                    if (result != ERROR_SUCCESS)
                        return result;
                    known = formattedValues.insert(std::make_pair(argument.second, value)).first;
                }
                formatted[argument.first] = known->second;
            }
            return result;
        },
        what);
}

std::wstring argumentQuery(const std::wstring& where)
{
    return std::wstring(L"SELECT `Action`, `Arguments` FROM `") + PackageStepNames::ArgumentTable + L"` WHERE " +
           where;
}
}

UINT FormatStepArguments(MSIHANDLE install, const std::wstring& action, StepArgumentsByAction& arguments,
                         std::wstring& what)
{
    ScopedMsiHandle parameters(MsiCreateRecord(1));
    if (!parameters.get() || MsiRecordSetStringW(parameters.get(), 1, action.c_str()) != ERROR_SUCCESS) {
        what = L"make the query's record";
        return ERROR_OUTOFMEMORY;
    }
    return formatRows(install, argumentQuery(L"`Action` = ?"), parameters.get(), arguments, what);
}

UINT FormatServedArguments(MSIHANDLE install, StepArgumentsByAction& arguments, std::wstring& what)
{
    std::wstring where = L"`Served` = '" + std::wstring(PackageStepNames::ServedEveryRun) + L"'";
    const struct {
        const wchar_t* condition;
        const wchar_t* served;
    } plans[] = { { PackageStepNames::InstallCondition, PackageStepNames::ServedByInstall },
                  { PackageStepNames::RemovalCondition, PackageStepNames::ServedByRemoval } };
    for (const auto& plan : plans) {
        const MSICONDITION holds = MsiEvaluateConditionW(install, plan.condition);
        if (holds == MSICONDITION_TRUE) {
            where += L" OR `Served` = '" + std::wstring(plan.served) + L"'";
        } else if (holds != MSICONDITION_FALSE) {
            what = L"evaluate the condition " + std::wstring(plan.condition);
            return ERROR_INVALID_PARAMETER;
        }
    }
    return formatRows(install, argumentQuery(where), 0, arguments, what);
}

namespace {
void logLine(MSIHANDLE install, int level, const std::wstring& text)
{
    SendInstallerLogLine(install, InstallerLogLine(PackageStepNames::DataEntry, level, text));
}

// The folders an earlier run of the package left beside this run's (a run
// that was killed, or a twin that could not give everything back): they
// stay as they are, for a person to restore from.
std::vector<std::wstring> earlierStateFolders(const std::wstring& base)
{
    std::vector<std::wstring> folders;
    const std::wstring parent = base.substr(0, base.find_last_of(L"\\/") + 1);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(ExtendedLengthPath(base + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return folders;
    do
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(parent + data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return folders;
}

// The package names the state folder after its product; each run keeps
// its state in a folder of its own beside that name, so that no
// transaction ever meets what an earlier one left.
UINT takeStateFolderOfThisRun(MSIHANDLE install)
{
    std::wstring base;
    UINT result = ReadInstallerProperty(install, PackageStepNames::StateFolderProperty, base);
    if (result != ERROR_SUCCESS) {
        logLine(install, LogLevelError, L"Couldn't read the property " +
                                            std::wstring(PackageStepNames::StateFolderProperty) + L" (error " +
                                            std::to_wstring(result) + L")");
        return result;
    }
    if (base.empty())
        return ERROR_SUCCESS;
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/'))
        base.pop_back();
    const std::vector<std::wstring> earlier = earlierStateFolders(base);
    if (!earlier.empty()) {
        std::wstring names;
        for (const std::wstring& folder : earlier)
            names += (names.empty() ? L"" : L"; ") + folder;
        logLine(install, LogLevelWarning, L"Leaving the rollback state of earlier runs as it is, for a person to "
                                          L"restore from: " + names);
    }
    std::wstring folder;
    DWORD error = 0;
    do {
        std::wstring name;
        if (!RandomHexName(name, error)) {
            logLine(install, LogLevelError, L"Couldn't make a name for this run's state folder (error " +
                                                std::to_wstring(error) + L")");
            return ERROR_INSTALL_FAILURE;
        }
        folder = base + L" " + name;
    } while (GetFileAttributesW(ExtendedLengthPath(folder).c_str()) != INVALID_FILE_ATTRIBUTES);
    result = MsiSetPropertyW(install, PackageStepNames::StateFolderProperty, folder.c_str());
    if (result != ERROR_SUCCESS)
        logLine(install, LogLevelError, L"Couldn't set the property " +
                                            std::wstring(PackageStepNames::StateFolderProperty) + L" (error " +
                                            std::to_wstring(result) + L")");
    return result;
}

UINT setCustomActionData(MSIHANDLE install)
{
    if (takeStateFolderOfThisRun(install) != ERROR_SUCCESS)
        return ERROR_INSTALL_FAILURE;
    StepArgumentsByAction arguments;
    std::wstring what;
    UINT result = FormatServedArguments(install, arguments, what);
    if (result != ERROR_SUCCESS) {
        logLine(install, LogLevelError, L"Couldn't " + what + L" (error " + std::to_wstring(result) + L")");
        return ERROR_INSTALL_FAILURE;
    }
    size_t served = 0;
    for (StepArgumentsByAction::const_iterator it = arguments.begin(); it != arguments.end(); ++it) {
        result = MsiSetPropertyW(install, it->first.c_str(), CustomActionDataText(it->second).c_str());
        if (result != ERROR_SUCCESS) {
            logLine(install, LogLevelError, L"Couldn't set the CustomActionData of " + it->first + L" (error " +
                                                std::to_wstring(result) + L")");
            return ERROR_INSTALL_FAILURE;
        }
        ++served;
    }
    logLine(install, LogLevelInfo, L"CustomActionData set for " + std::to_wstring(served) + L" actions");
    return ERROR_SUCCESS;
}
}

extern "C" UINT __stdcall SetCustomActionData(MSIHANDLE install)
{
    try {
        return setCustomActionData(install);
    } catch (...) {
        // Out of memory: the installation stops rather than run actions without their data.
        return ERROR_INSTALL_FAILURE;
    }
}
