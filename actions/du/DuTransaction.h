#pragma once
// Command lines and result handling shared by the deployment-unit install
// and removal actions.
#include <string>

#include <windows.h>

#include <boost/shared_ptr.hpp>

#include "core/IActionContext.h"

extern const wchar_t* const InstallLogPrefix;
extern const wchar_t* const UninstallLogPrefix;

// props, then the reboot suppression, then the ALLUSERS assignment that
// perUser asks for. A perUser that is neither a true nor a false word is
// reported and leaves ALLUSERS out.
std::wstring InstallCommandLine(const std::wstring& props, const std::wstring& perUser, IActionContext& context);
// The command line of a removal; byPackage adds REMOVE=ALL.
std::wstring UninstallCommandLine(bool byPackage);

// The product code in braces: "{" put in front when missing, then "}" added
// when missing.
std::wstring BracedProductCode(const std::wstring& code);

enum DuTransactionKind { DuInstall, DuUninstall };

// The action's status for a Windows Installer code: success removes the log
// (unless kept), a required reboot is published, codes that do not count as
// success are reported.
int FinishDuTransaction(UINT code, DuTransactionKind kind, const std::wstring& logPath,
                        boost::shared_ptr<IActionContext> context);
