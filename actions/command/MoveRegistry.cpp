// MoveRegistry: renames one registry value within its key, keeping its data.
// Whatever is already stored under the new name is replaced; the old name
// goes only once the new one holds exactly its data. Every failure is only
// logged; the action returns 0.
//
// Given an invocation-data folder, the action first keeps there both values
// exactly as they are (type and bytes, or absent), and then what it left;
// RollbackMoveRegistry puts both back in the same view as long as they are
// still what the move left. A retried move keeps the first run's state.
#include "core/Action.h"
#include "core/MachineMutex.h"
#include "core/RegistryNames.h"
#include "core/RollbackState.h"
#include "support/mossel/Mossel.h"
#include "actions/files/FileArgumentNames.h"
#include "actions/registry/RegistryState.h"

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

const wchar_t* const kStateKind = L"move";
const wchar_t* const kMoved = L"moved";

// The key and the values one move touches, and where their state is kept.
struct MoveState {
    RollbackState state;
    std::vector<RegistryValue> names;  // the source and the target
};

MoveState moveState(const std::wstring& folder, const CString& hive, const CString& source, const CString& target,
                    REGSAM view)
{
    const std::wstring::size_type backslash = hive.str().find(L'\\');
    const std::wstring root = hive.str().substr(0, backslash);
    const std::wstring path = backslash == std::wstring::npos ? std::wstring() : hive.str().substr(backslash + 1);
    MoveState move{ RollbackState::ForRegistry(folder, kStateKind,
                                               RegistryObjectName(view, root, path, source.str() + L"\n" +
                                                                                        target.str())),
                    std::vector<RegistryValue>(2) };
    move.names[0].name = source.str();
    move.names[1].name = target.str();
    return move;
}

std::wstring errorText(LONG error)
{
    return L"(" + std::to_wstring(static_cast<long>(error)) + L")";
}

// Keeps both values before the move touches them. False (after logging why)
// when the move must not run: the state cannot be written, or an earlier
// run's state is there while the values are no longer what it left.
bool keepBefore(IActionContext& context, HKEY key, const MoveState& move, RollbackSignal& signal, bool& keeping)
{
    std::vector<RegistryValue> now;
    LONG rc = ReadNamedValues(key, move.names, now);
    if (rc != ERROR_SUCCESS) {
        context.Log(LogLevelError, L"[MoveRegistry] Couldn't read the values to keep them " + errorText(rc));
        return false;
    }
    keeping = false;
    if (move.state.read(signal)) {
        if (signal.after.empty() || now != signal.after) {
            context.Log(LogLevelError, L"[MoveRegistry] Refusing to move: the values changed since an earlier run "
                                       L"moved them, and the rollback state of that run is kept at " +
                                           move.state.folder());
            return false;
        }
        keeping = true;
        context.Log(LogLevelInfo, L"[MoveRegistry] Keeping the rollback state of an earlier run: " +
                                      move.state.folder());
        return true;
    }
    signal = RollbackSignal();
    signal.object = move.state.object();
    signal.change = kMoved;
    signal.before = now;
    return WriteRegistryState(context, L"[MoveRegistry] ", move.state, signal);
}

// Records what the move left, or drops a state of its own that protects
// nothing because nothing changed.
void keepAfter(IActionContext& context, HKEY key, const MoveState& move, RollbackSignal& signal, bool keeping)
{
    const LONG rc = ReadNamedValues(key, move.names, signal.after);
    if (rc != ERROR_SUCCESS) {
        context.Log(LogLevelError, L"[MoveRegistry] Couldn't read back what the move left " + errorText(rc) +
                                       L"; its rollback will not act on " + move.state.folder());
        return;
    }
    if (!keeping && signal.after == signal.before)
        DiscardRegistryState(context, L"[MoveRegistry] ", move.state);
    else
        WriteRegistryState(context, L"[MoveRegistry] ", move.state, signal);
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

    const std::wstring stateFolder = *context->GetArg(FileArgumentNames::InvocationDataDir);
    if (!AcceptStateFolder(*context, stateFolder, false))
        return ActionFailed;
    CInstallRegistry reg;
    const REGSAM view = IsYesWord(wow64.str()) ? KEY_WOW64_64KEY : 0;
    if (!reg.OpenKey(hive, KEY_ALL_ACCESS | view)) {
        logWithError(*context, LogLevelError, L"[MoveRegistry] reg.OpenKey fails (%d)", GetLastError());
        return ActionDone;
    }
    const MoveState move = moveState(stateFolder, hive, source, target, view);
    RollbackSignal signal;
    bool keeping = false;
    if (!stateFolder.empty() && !keepBefore(*context, reg.GetHKEY(), move, signal, keeping))
        return ActionFailed;
    reg.DeleteValue(target);
    if (copyValue(*context, reg, type, source, target)) {
        if (reg.DeleteValue(source))
            context->Log(LogLevelInfo, prefix + L"DONE");
        else
            logWithError(*context, LogLevelError, L"[MoveRegistry] reg.DeleteValue fails (%d)", GetLastError());
    }
    if (!stateFolder.empty())
        keepAfter(*context, reg.GetHKEY(), move, signal, keeping);
    return ActionDone;
}

VERRAND_ACTION(RollbackMoveRegistry)
{
    const CString hive = GetCStringArg(context, CommandArgumentNames::RegistryHive);
    const CString source = GetCStringArg(context, CommandArgumentNames::RegistryKeySrc);
    const CString target = GetCStringArg(context, CommandArgumentNames::RegistryKeyTgt);
    const CString wow64 = GetCStringArg(context, CommandArgumentNames::RegistryWOW64);
    const std::wstring stateFolder = *context->GetArg(FileArgumentNames::InvocationDataDir);
    const std::wstring prefix = L"[RollbackMoveRegistry] ";
    if (!AcceptStateFolder(*context, stateFolder, true))
        return ActionFailed;
    const REGSAM view = IsYesWord(wow64.str()) ? KEY_WOW64_64KEY : 0;
    const MoveState move = moveState(stateFolder, hive, source, target, view);
    RollbackSignal signal;
    if (hive.IsEmpty() || source.IsEmpty() || target.IsEmpty() || !move.state.read(signal) ||
        signal.change != kMoved || signal.before.size() != 2) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    MachineMutexLock lock(RegistryEditMutexName);
    if (!lock.held()) {
        context->Log(LogLevelError, prefix + L"Couldn't lock the registry" + ErrorSuffix(lock.error()));
        return ActionFailed;
    }
    CInstallRegistry reg;
    if (!reg.OpenKey(hive, KEY_ALL_ACCESS | view)) {
        const DWORD error = GetLastError();
        // A key that went away took what the move left with it.
        if (error != ERROR_FILE_NOT_FOUND) {
            context->Log(LogLevelError, prefix + L"Couldn't open " + hive.str() + ErrorSuffix(error) +
                                            L"; the rollback state stays at " + move.state.folder());
            return ActionFailed;
        }
    }
    if (!reg.GetHKEY() || !ValuesAre(reg.GetHKEY(), signal.after)) {
        context->Log(LogLevelError, prefix + L"Leaving " + source.str() + L" and " + target.str() + L" of " +
                                        hive.str() + L" as they are: they are no longer what MoveRegistry left, "
                                                     L"and the rollback state stays at " + move.state.folder());
        return ActionFailed;
    }
    // The source first: its data is never in neither place.
    const LONG rc = WriteValues(reg.GetHKEY(), signal.before);
    if (rc != ERROR_SUCCESS) {
        context->Log(LogLevelError, prefix + L"Couldn't put back " + source.str() + L" and " + target.str() +
                                        ErrorSuffix(rc) + L"; the rollback state stays at " + move.state.folder());
        return ActionFailed;
    }
    context->Log(LogLevelInfo, prefix + L"Put back " + source.str() + L" and " + target.str() + L" of " + hive.str());
    DiscardRegistryState(*context, prefix, move.state);
    return ActionDone;
}
