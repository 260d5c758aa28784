// SetPrivilege: grants a user right to a named account, or to the current
// user when no account is given. A grant that fails is logged; the status
// stays 0, as for every command action.
//
// Given an invocation-data folder, the action first asks whether the
// account holds the right already; only when it does not, a state for the
// account's right ("privilege-KEY") is written before the grant, and its
// twin RollbackSetPrivilege takes the right back.
#include "core/Action.h"
#include "core/PathRules.h"
#include "core/KeptObjects.h"
#include "core/RollbackState.h"
#include "support/mossel/Mossel.h"

#include "AccountRights.h"
#include "CommandArgumentNames.h"
#include "actions/files/FileArgumentNames.h"

namespace {
const wchar_t* const kPrivilegeState = L"privilege";
const wchar_t* const kGranted = L"granted";

class PolicyRights : public AccountRights {
public:
    bool holds(const CString& right, const CString& account, bool& held)
    {
        return HoldsPrivilege(right, account, held);
    }
    bool grant(const CString& right, const CString& account)
    {
        return account.IsEmpty() ? AddPrivilegeOnCurrentUser(right) : AddPrivilege(right, account);
    }
    bool revoke(const CString& right, const CString& account) { return RemovePrivilege(right, account); }
};

CString accountName(const CString& account)
{
    return account.IsEmpty() ? CString(L"the current user") : account;
}

std::wstring withError(const std::wstring& line, DWORD error)
{
    return line + L" (" + std::to_wstring(error) + L")";
}

// The state of one account's right: the right's name first (it holds no
// blank), then the account as given.
RollbackState privilegeState(const std::wstring& folder, const CString& right, const CString& account)
{
    return RollbackState::OfNamed(folder, kPrivilegeState, right.str() + L" " + account.str());
}

// Writes the state before a grant that changes something; false, after a
// level-4 line, when the action must not grant.
bool keepPrivilegeState(IActionContext& context, AccountRights& rights, const std::wstring& folder,
                        const CString& right, const CString& account, bool& written)
{
    written = false;
    if (!AcceptPath(context, FileArgumentNames::InvocationDataDir, folder, CheckTarget(folder)))
        return false;
    const RollbackState state = privilegeState(folder, right, account);
    RollbackSignal signal;
    if (state.read(signal)) {
        context.Log(LogLevelInfo, L"[SetPrivilege] Keeping the rollback state of an earlier run: " + state.folder());
        return true;
    }
    bool held = false;
    if (!rights.holds(right, account, held)) {
        context.Log(LogLevelError, withError(L"[SetPrivilege] Couldn't tell whether " + accountName(account).str() +
                                                 L" holds " + right.str() + L"; nothing granted",
                                             GetLastError()));
        return false;
    }
    // A right held already is not changed: nothing to give back.
    if (held)
        return true;
    signal.object = state.object();
    signal.change = kGranted;
    DWORD error = 0;
    if (!state.write(signal, error)) {
        context.Log(LogLevelError, withError(L"[SetPrivilege] Couldn't write the rollback signal " + state.signalPath() +
                                                 L"; nothing granted",
                                             error));
        return false;
    }
    written = true;
    return true;
}

}

AccountRights& SystemAccountRights()
{
    static PolicyRights rights;
    return rights;
}

int GrantPrivilege(const boost::shared_ptr<IActionContext>& context, AccountRights& rights)
{
    const CString privilege = GetCStringArg(context, CommandArgumentNames::Privilege);
    const CString account = GetCStringArg(context, CommandArgumentNames::DomainUser);
    context->Log(LogLevelInfo, L"[SetPrivilege] sPrivilege  = " + privilege.str());
    context->Log(LogLevelInfo, L"[SetPrivilege] sDomainUser = " + account.str());
    if (privilege.IsEmpty()) {
        context->Log(LogLevelInfo, L"[SetPrivilege] Empty sPrivilege");
        return ActionDone;
    }
    const std::wstring folder = *context->GetArg(FileArgumentNames::InvocationDataDir);
    bool ownState = false;
    if (!folder.empty() && !keepPrivilegeState(*context, rights, folder, privilege, account, ownState))
        return ActionFailed;
    if (!rights.grant(privilege, account)) {
        const DWORD error = GetLastError();
        CString line;
        line.Format(L"[SetPrivilege] Couldn't grant %s to %s (%lu)", privilege.GetString(),
                    accountName(account).GetString(), error);
        context->Log(LogLevelError, line.str());
        if (ownState)
            DiscardState(*context, privilegeState(folder, privilege, account));
    }
    return ActionDone;
}

int RollbackGrantedPrivilege(const boost::shared_ptr<IActionContext>& context, AccountRights& rights)
{
    const CString privilege = GetCStringArg(context, CommandArgumentNames::Privilege);
    const CString account = GetCStringArg(context, CommandArgumentNames::DomainUser);
    const std::wstring folder = *context->GetArg(FileArgumentNames::InvocationDataDir);
    if (!AcceptPath(*context, FileArgumentNames::InvocationDataDir, folder, CheckTarget(folder)))
        return ActionFailed;
    const RollbackState state = privilegeState(folder, privilege, account);
    RollbackSignal signal;
    if (privilege.IsEmpty() || !state.read(signal) || signal.change != kGranted) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    const std::wstring who = accountName(account).str();
    bool held = false;
    if (!rights.holds(privilege, account, held)) {
        context->Log(LogLevelError, withError(L"[RollbackSetPrivilege] Couldn't tell whether " + who + L" holds " +
                                                  privilege.str() + L"; the rollback state stays at " + state.folder(),
                                              GetLastError()));
        return ActionFailed;
    }
    if (!held) {
        context->Log(LogLevelInfo, L"[RollbackSetPrivilege] " + who + L" no longer holds " + privilege.str() +
                                       L": nothing to take back");
    } else if (!rights.revoke(privilege, account)) {
        context->Log(LogLevelError, withError(L"[RollbackSetPrivilege] Couldn't take " + privilege.str() + L" from " +
                                                  who + L"; the rollback state stays at " + state.folder(),
                                              GetLastError()));
        return ActionFailed;
    } else {
        context->Log(LogLevelInfo, L"[RollbackSetPrivilege] Took " + privilege.str() + L" back from " + who);
    }
    DiscardState(*context, state);
    return ActionDone;
}

VERRAND_ACTION(SetPrivilege)
{
    return GrantPrivilege(context, SystemAccountRights());
}

VERRAND_ACTION(RollbackSetPrivilege)
{
    return RollbackGrantedPrivilege(context, SystemAccountRights());
}
