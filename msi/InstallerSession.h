#pragma once
// Small owners and readers over a Windows Installer session handle: each
// call sizes its buffer from the installer's answer and reports the
// installer's error number when it fails.
#include <string>

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include "core/ScopedMsiHandle.h"

// The property's value (empty when the property is not set). Returns the
// installer's error number, ERROR_SUCCESS when the value was read.
UINT ReadInstallerProperty(MSIHANDLE install, const std::wstring& name, std::wstring& value);

// The text formatted by the installer (MsiFormatRecordW on a record whose
// template is text). Returns the installer's error number.
UINT FormatInstallerText(MSIHANDLE install, const std::wstring& text, std::wstring& formatted);

// Sends one line to the package's log as an information message. The line
// is inserted through the template "[1]", so brackets in it stay as written.
// Returns false when the installer refused the message.
bool SendInstallerLogLine(MSIHANDLE install, const std::wstring& line);

// True in a deferred, rollback or commit action (run from the script, where
// the installer keeps no property an action sets).
bool RunsFromInstallScript(MSIHANDLE install);
