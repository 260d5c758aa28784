#pragma once
// Small owners and readers over a Windows Installer session handle: each
// call sizes its buffer from the installer's answer and reports the
// installer's error number when it fails.
#include <string>

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include "core/KnownSecrets.h"
#include "core/ScopedMsiHandle.h"

// The property's value (empty when the property is not set). Returns the
// installer's error number, ERROR_SUCCESS when the value was read.
UINT ReadInstallerProperty(MSIHANDLE install, const std::wstring& name, std::wstring& value);

// The text formatted by the installer (MsiFormatRecordW on a record whose
// template is text). Returns the installer's error number.
UINT FormatInstallerText(MSIHANDLE install, const std::wstring& text, std::wstring& formatted);

// The secrets this process's custom actions have met so far: every line
// sent to the package's log is masked with them.
KnownSecrets& InstallerLogSecrets();

// The text as a formatted text that the installer turns back into the text
// itself: every "[", "]", "{" and "}" written as its escape ("[\[]" ...).
std::wstring InstallerLiteral(const std::wstring& text);

// Sends one line to the package's log as an information message, exactly as
// written: with the secrets known so far masked, in field 1 of a record
// whose template is "[1]". The installer formats a record's fields as well
// as its template, so the line goes there as an InstallerLiteral: "[NAME]"
// in it is no property, "[5]" no field. Returns false when the installer
// refused the message.
bool SendInstallerLogLine(MSIHANDLE install, const std::wstring& line);

// True in a deferred, rollback or commit action (run from the script, where
// the installer keeps no property an action sets).
bool RunsFromInstallScript(MSIHANDLE install);
