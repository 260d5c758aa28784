#pragma once
#include <string>

// Argument names of the shell and system actions, built once when the
// library loads.
namespace ShellArgumentNames {
// CreateShortcut and RemoveShortcut share their names, so a host can hand
// the same set to both.
extern const std::wstring LinkFullPath;
extern const std::wstring PathToTarget;
extern const std::wstring Arguments;
extern const std::wstring Description;
extern const std::wstring IconPath;
extern const std::wstring IconIndex;
extern const std::wstring RunAsUser;
extern const std::wstring ShowCmd;
extern const std::wstring WorkingDir;
extern const std::wstring RunAction;

// EnsureFolderExists
extern const std::wstring FolderName;

// SetWindowsSystemFolderProps
extern const std::wstring ArgPerUserInstall;

// ConfigureEnvironment
extern const std::wstring EnvName;
extern const std::wstring EnvValue;
extern const std::wstring Action;
extern const std::wstring Broadcast;
extern const std::wstring TimeoutMilliSeconds;
}
