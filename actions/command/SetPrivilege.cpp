// SetPrivilege: grants a user right to a named account, or to the current
// user when no account is given. The grant's own result is not reported.
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
    if (!account.IsEmpty())
        AddPrivilege(privilege, account);
    else
        AddPrivilegeOnCurrentUser(privilege);
    return ActionDone;
}
