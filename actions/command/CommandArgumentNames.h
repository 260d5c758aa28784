#pragma once
#include <string>

// Argument names of the command actions, built once when the library loads.
namespace CommandArgumentNames {
// Runner options.
extern const std::wstring LogCmdLine;
extern const std::wstring SensitiveData;
extern const std::wstring HideWindows;
extern const std::wstring DisableWOW64Redirection;
extern const std::wstring ProductObjectModel;
extern const std::wstring NoWaiting;
extern const std::wstring MaxRetriesAllowed;
extern const std::wstring RetryInterval;
extern const std::wstring UseShellExecute;
extern const std::wstring EnvSettings;
extern const std::wstring CaptureOutput;
extern const std::wstring TimeoutSeconds;
extern const std::wstring SuccessCodes;

// The RunCommand family.
extern const std::wstring CmdLine;
extern const std::wstring RunOnDuAction;
extern const std::wstring DuAction;
extern const std::wstring RollBackCmdLine;
extern const std::wstring DUInstallAction;
extern const std::wstring CmdLineOnRepair;
extern const std::wstring ConditionPropertyToCheck;
extern const std::wstring PropertyValueCompareWith;
extern const std::wstring WriteProperty;
extern const std::wstring Default;
extern const std::wstring ReturnCodesSet;
extern const std::wstring ValuesSet;

// SetPrivilege.
extern const std::wstring Privilege;
extern const std::wstring DomainUser;

// MoveRegistry.
extern const std::wstring RegistryHive;
extern const std::wstring RegistryKeySrc;
extern const std::wstring RegistryKeyTgt;
extern const std::wstring RegistryType;
extern const std::wstring RegistryWOW64;
}
