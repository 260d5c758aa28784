#pragma once
// The verbose Windows Installer log of one deployment-unit transaction and
// the switch that keeps it.
#include <string>

#include <boost/shared_ptr.hpp>

#include "core/IActionContext.h"

extern const wchar_t* const KeepMsiLogsVariable;

// logsFolder + prefix + duId + ".log", without separators: the folder is
// expected to end with one.
std::wstring InstallerLogFilePath(const std::wstring& logsFolder, const std::wstring& prefix,
                                  const std::wstring& duId);

// Switches verbose installer logging into path and reports the file name.
void EnableInstallerLog(const std::wstring& path, IActionContext& context);

// True, after saying so, when the keep-logs variable holds a true word.
bool ShouldKeepMsiLogs(boost::shared_ptr<IActionContext> context);

// Removes the log of a transaction that succeeded, unless the switch keeps
// it. A log that cannot be removed stays.
void RemoveInstallerLogUnlessKept(const std::wstring& path, boost::shared_ptr<IActionContext> context);
