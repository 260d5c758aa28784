#pragma once
// The user rights an account holds, as SetPrivilege and its rollback twin
// see them. The system's policy is behind an interface, so that the rule of
// the twin (take a right back only from an account that did not hold it
// before the grant) is tested on systems whose policy stores nothing.
#include <boost/shared_ptr.hpp>

#include "core/CString.h"
#include "core/IActionContext.h"

class AccountRights {
public:
    virtual ~AccountRights() {}
    // The account is empty for the user the process runs as. Each call
    // returns false, with GetLastError set, when the policy refuses.
    virtual bool holds(const CString& right, const CString& account, bool& held) = 0;
    virtual bool grant(const CString& right, const CString& account) = 0;
    virtual bool revoke(const CString& right, const CString& account) = 0;
};

// The local security policy (through Mossel).
AccountRights& SystemAccountRights();

// SetPrivilege and RollbackSetPrivilege on the given rights.
int GrantPrivilege(const boost::shared_ptr<IActionContext>& context, AccountRights& rights);
int RollbackGrantedPrivilege(const boost::shared_ptr<IActionContext>& context, AccountRights& rights);
