// MoveRegistry: renames one registry value within its key, keeping its data.
// Whatever is already stored under the new name is replaced; the old name
// goes only once the new one holds exactly its data. Every failure is only
// logged; the action always returns 0.
#include "core/Action.h"
#include "core/RegistryNames.h"
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

// The calls of one registry type, chosen by the type of their data.
bool readData(CInstallRegistry& reg, const CString& name, DWORD& data)
{
    return reg.GetDWord(name, data);
}
bool readData(CInstallRegistry& reg, const CString& name, CString& data)
{
    return reg.GetString(name, data);
}
bool readData(CInstallRegistry& reg, const CString& name, CStringArray& data)
{
    return reg.GetMultiString(name, data);
}
bool writeData(CInstallRegistry& reg, const CString& name, DWORD data, bool)
{
    return reg.SetDWord(name, data);
}
// "E" is written expandable (REG_EXPAND_SZ), "S" as a plain string.
bool writeData(CInstallRegistry& reg, const CString& name, const CString& data, bool expandable)
{
    return reg.SetString(name, data, expandable);
}
bool writeData(CInstallRegistry& reg, const CString& name, const CStringArray& data, bool)
{
    return reg.SetMultiString(name, data);
}
bool sameData(DWORD a, DWORD b)
{
    return a == b;
}
bool sameData(const CString& a, const CString& b)
{
    return a == b;
}
bool sameData(const CStringArray& a, const CStringArray& b)
{
    if (a.GetSize() != b.GetSize())
        return false;
    for (int i = 0; i < a.GetSize(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

// Reads the source and writes it under the target name, then reads the
// target back. True only when the target holds exactly the source's data;
// a target that does not is removed again. False (after logging why) when
// the source must stay. `calls` names the type's calls in the log: "String",
// "DWord" or "MultiString".
template <typename Data>
bool copyValue(IActionContext& context, CInstallRegistry& reg, const std::wstring& calls, const CString& source,
               const CString& target, bool expandable = false)
{
    Data data = Data();
    if (!readData(reg, source, data)) {
        logWithError(context, LogLevelInfo, (L"[MoveRegistry] reg.Get" + calls + L" info (%d)").c_str(),
                     GetLastError());
        return false;
    }
    if (!writeData(reg, target, data, expandable)) {
        logWithError(context, LogLevelError, (L"[MoveRegistry] reg.Set" + calls + L" fails (%d)").c_str(),
                     GetLastError());
        return false;
    }
    Data written = Data();
    const bool readBack = readData(reg, target, written);
    const DWORD error = GetLastError();
    if (readBack && sameData(data, written))
        return true;
    reg.DeleteValue(target);
    logWithError(context, LogLevelError,
                 (L"[MoveRegistry] reg.Get" + calls + L" of the target does not give the source's data (%d); "
                                                       L"the source is kept")
                     .c_str(),
                 error);
    return false;
}

bool copyValue(IActionContext& context, CInstallRegistry& reg, const CString& type, const CString& source,
               const CString& target)
{
    if (type.CompareNoCase(L"M") == 0)
        return copyValue<CStringArray>(context, reg, L"MultiString", source, target);
    if (type.CompareNoCase(L"D") == 0)
        return copyValue<DWORD>(context, reg, L"DWord", source, target);
    return copyValue<CString>(context, reg, L"String", source, target, type.CompareNoCase(L"E") == 0);
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
    // As the registry compares names: otherwise deleting the target would
    // delete the source itself.
    if (SameRegistryName(source.str(), target.str())) {
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
