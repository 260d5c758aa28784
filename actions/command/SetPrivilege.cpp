// SetPrivilege: grants a user right to a named account, or to the current
// user when no account is given. A grant that fails is logged; the status
// stays 0, as for every command action.
#include "core/Action.h"
#include "support/mossel/Mossel.h"

#include "CommandArgumentNames.h"

VERRAND_ACTION(SetPrivilege)
{
    const CString privilege = GetCStringArg(context, CommandArgumentNames::Privilege);
    const CString account = GetCStringArg(context, CommandArgumentNames::DomainUser);
    context->Log(LogLevelInfo, L"[SetPrivilege] sPrivilege  = " + privilege.str());
    context->Log(LogLevelInfo, L"[SetPrivilege] sDomainUser = " + account.str());
    if (privilege.IsEmpty()) {
        context->Log(LogLevelInfo, L"[SetPrivilege] Empty sPrivilege");
        return ActionDone;
    }
    const bool granted = account.IsEmpty() ? AddPrivilegeOnCurrentUser(privilege) : AddPrivilege(privilege, account);
    if (!granted) {
        CString line;
        line.Format(L"[SetPrivilege] Couldn't grant %s to %s (%lu)", privilege.GetString(),
                    account.IsEmpty() ? L"the current user" : account.GetString(), GetLastError());
        context->Log(LogLevelError, line.str());
    }
    return ActionDone;
}
