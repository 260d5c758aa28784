// MoveRegistry: renames one registry value within its key, keeping its data.
// Whatever is already stored under the new name is replaced. Every failure is
// only logged; the action always returns 0.
#include "core/Action.h"
#include "support/mossel/Mossel.h"

#include "CommandArgumentNames.h"
#include "CommandText.h"

namespace {
const wchar_t* const kPrefix = L"[MoveRegistry] ";

void logWithError(IActionContext& context, int level, const wchar_t* format, DWORD error)
{
    CString line;
    line.Format(format, static_cast<int>(error));
    context.Log(level, line.str());
}

// Reads the source with the calls that fit the type and writes it under the
// target name. False (after logging why) when nothing was written.
bool copyValue(IActionContext& context, CInstallRegistry& reg, const CString& type, const CString& source,
               const CString& target)
{
    if (type.CompareNoCase(L"M") == 0) {
        CStringArray values;
        if (!reg.GetMultiString(source, values)) {
            logWithError(context, LogLevelInfo, L"[MoveRegistry] reg.GetMultiString info (%d)", GetLastError());
            return false;
        }
        if (!reg.SetMultiString(target, values)) {
            logWithError(context, LogLevelError, L"[MoveRegistry] reg.SetMultiString fails (%d)", GetLastError());
            return false;
        }
        return true;
    }
    if (type.CompareNoCase(L"D") == 0) {
        DWORD value = 0;
        if (!reg.GetDWord(source, value)) {
            logWithError(context, LogLevelInfo, L"[MoveRegistry] reg.GetDWord info (%d)", GetLastError());
            return false;
        }
        if (!reg.SetDWord(target, value)) {
            logWithError(context, LogLevelError, L"[MoveRegistry] reg.SetDWord fails (%d)", GetLastError());
            return false;
        }
        return true;
    }
    // "E" and "S" move alike, as a plain string.
    CString value;
    if (!reg.GetString(source, value)) {
        logWithError(context, LogLevelInfo, L"[MoveRegistry] reg.GetString info (%d)", GetLastError());
        return false;
    }
    if (!reg.SetString(target, value, false)) {
        logWithError(context, LogLevelError, L"[MoveRegistry] reg.SetString fails (%d)", GetLastError());
        return false;
    }
    return true;
}

bool knownType(const CString& type)
{
    return type.CompareNoCase(L"D") == 0 || type.CompareNoCase(L"E") == 0 || type.CompareNoCase(L"M") == 0 ||
           type.CompareNoCase(L"S") == 0;
}
}

VERRAND_ACTION(MoveRegistry)
{
    const CString hive = GetCStringArg(context, CommandArgumentNames::RegistryHive);
    const CString source = GetCStringArg(context, CommandArgumentNames::RegistryKeySrc);
    const CString target = GetCStringArg(context, CommandArgumentNames::RegistryKeyTgt);
    const CString type = GetCStringArg(context, CommandArgumentNames::RegistryType);
    const CString wow64 = GetCStringArg(context, CommandArgumentNames::RegistryWOW64);
    const std::wstring prefix = kPrefix;
    context->Log(LogLevelInfo, prefix + L"sRegistryHive    = " + hive.str());
    context->Log(LogLevelInfo, prefix + L"sRegistryKeySrc  = " + source.str());
    context->Log(LogLevelInfo, prefix + L"sRegistryKeyTgt  = " + target.str());
    context->Log(LogLevelInfo, prefix + L"sRegistryType    = " + type.str());
    context->Log(LogLevelInfo, prefix + L"sRegistryWOW64   = " + wow64.str());

    if (hive.IsEmpty() || source.IsEmpty() || target.IsEmpty() || type.IsEmpty()) {
        context->Log(LogLevelInfo, prefix + L"Empty Information");
        return ActionDone;
    }
    if (source.CompareNoCase(target) == 0) {
        context->Log(LogLevelInfo, prefix + L"Source and Target are identical");
        return ActionDone;
    }
    if (!knownType(type)) {
        context->Log(LogLevelInfo, prefix + L"Invalid registry type from (D, E, M, S)");
        return ActionDone;
    }

    CInstallRegistry reg;
    const REGSAM access = KEY_ALL_ACCESS | (IsYesWord(wow64.str()) ? KEY_WOW64_64KEY : 0);
    if (!reg.OpenKey(hive, access)) {
        logWithError(*context, LogLevelError, L"[MoveRegistry] reg.OpenKey fails (%d)", GetLastError());
        return ActionDone;
    }
    reg.DeleteValue(target);
    if (!copyValue(*context, reg, type, source, target))
        return ActionDone;
    if (reg.DeleteValue(source))
        context->Log(LogLevelInfo, prefix + L"DONE");
    else
        logWithError(*context, LogLevelError, L"[MoveRegistry] reg.DeleteValue fails (%d)", GetLastError());
    return ActionDone;
}
