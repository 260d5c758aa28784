#include "CommandArgumentNames.h"

namespace CommandArgumentNames {
const std::wstring LogCmdLine(L"LogCmdLine");
const std::wstring SensitiveData(L"SensitiveData");
const std::wstring HideWindows(L"HideWindows");
const std::wstring DisableWOW64Redirection(L"DisableWOW64Redirection");
const std::wstring ProductObjectModel(L"ProductObjectModel");
const std::wstring NoWaiting(L"NoWaiting");
const std::wstring MaxRetriesAllowed(L"MaxRetriesAllowed");
const std::wstring RetryInterval(L"RetryInterval");
const std::wstring UseShellExecute(L"UseShellExecute");
const std::wstring EnvSettings(L"EnvSettings");
const std::wstring CaptureOutput(L"CaptureOutput");
const std::wstring TimeoutSeconds(L"TimeoutSeconds");
const std::wstring SuccessCodes(L"SuccessCodes");

const std::wstring CmdLine(L"CmdLine");
const std::wstring RunOnDuAction(L"RunOnDuAction");
const std::wstring DuAction(L"$du$action");
const std::wstring RollBackCmdLine(L"RollBackCmdLine");
const std::wstring DUInstallAction(L"DUInstallAction");
const std::wstring CmdLineOnRepair(L"CmdLineOnRepair");
const std::wstring ConditionPropertyToCheck(L"ConditionPropertyToCheck");
const std::wstring PropertyValueCompareWith(L"PropertyValueCompareWith");
const std::wstring WriteProperty(L"WriteProperty");
const std::wstring Default(L"Default");
const std::wstring ReturnCodesSet(L"ReturnCodesSet");
const std::wstring ValuesSet(L"ValuesSet");

const std::wstring Privilege(L"Privilege");
const std::wstring DomainUser(L"DomainUser");

const std::wstring RegistryHive(L"RegistryHive");
const std::wstring RegistryKeySrc(L"RegistryKeySrc");
const std::wstring RegistryKeyTgt(L"RegistryKeyTgt");
const std::wstring RegistryType(L"RegistryType");
const std::wstring RegistryWOW64(L"RegistryWOW64");
}
