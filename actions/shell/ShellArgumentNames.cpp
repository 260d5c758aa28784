#include "ShellArgumentNames.h"

namespace ShellArgumentNames {
const std::wstring LinkFullPath(L"linkFullPath");
const std::wstring PathToTarget(L"pathToTarget");
const std::wstring Arguments(L"arguments");
const std::wstring Description(L"description");
const std::wstring IconPath(L"iconPath");
const std::wstring IconIndex(L"iconIndex");
const std::wstring RunAsUser(L"runAsUser");
const std::wstring ShowCmd(L"showCmd");
const std::wstring WorkingDir(L"workingDir");
const std::wstring RunAction(L"runAction");

const std::wstring FolderName(L"FolderName");

const std::wstring ArgPerUserInstall(L"ArgPerUserInstall");

const std::wstring EnvName(L"ENV_NAME");
const std::wstring EnvValue(L"ENV_VALUE");
const std::wstring Action(L"ACTION");
const std::wstring Broadcast(L"BROADCAST");
const std::wstring TimeoutMilliSeconds(L"TIMEOUT_MILLI_SECONDS");
}
