#include "RegistryState.h"

#include "core/LogLevel.h"
#include "core/PathRules.h"
#include "actions/files/FileArgumentNames.h"

std::wstring ErrorSuffix(LONG error)
{
    return L" (error " + std::to_wstring(static_cast<long>(error)) + L")";
}

bool AcceptStateFolder(ILogger& log, const std::wstring& folder, bool required)
{
    if (folder.empty() && !required)
        return true;
    return AcceptPath(log, FileArgumentNames::InvocationDataDir, folder, CheckTarget(folder));
}

bool WriteRegistryState(ILogger& log, const std::wstring& who, const RollbackState& state,
                        const RollbackSignal& signal)
{
    DWORD error = 0;
    if (state.write(signal, error))
        return true;
    log.Log(LogLevelError, who + L"Couldn't write the rollback state " + state.signalPath() + ErrorSuffix(error));
    return false;
}

void DiscardRegistryState(ILogger& log, const std::wstring& who, const RollbackState& state)
{
    std::wstring failed;
    DWORD error = 0;
    if (!state.discard(failed, error))
        log.Log(LogLevelWarning, who + L"Couldn't remove the rollback state " + failed + ErrorSuffix(error));
}

LONG ReadNamedValues(HKEY key, const std::vector<RegistryValue>& names, std::vector<RegistryValue>& now)
{
    now.clear();
    for (const RegistryValue& named : names) {
        RegistryValue value;
        const LONG rc = ReadRegistryValue(key, named.name, value);
        if (rc != ERROR_SUCCESS)
            return rc;
        now.push_back(value);
    }
    return ERROR_SUCCESS;
}

bool ValuesAre(HKEY key, const std::vector<RegistryValue>& expected)
{
    std::vector<RegistryValue> now;
    return !expected.empty() && ReadNamedValues(key, expected, now) == ERROR_SUCCESS && now == expected;
}

LONG WriteValues(HKEY key, const std::vector<RegistryValue>& values)
{
    for (const RegistryValue& value : values) {
        const LONG rc = WriteRegistryValue(key, value);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}
