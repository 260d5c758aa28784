// SetPrivilege picks the account form or the current-user form of the grant.
// Wine's LSA stores no rights, so the grant is observed through Mossel's
// record of the last request, and the rule of the rollback twin through a
// policy of the test's own.
#include <gtest/gtest.h>

#include <set>

#include "actions/command/AccountRights.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"
#include "support/mossel/Mossel.h"

namespace {
typedef std::vector<std::wstring> Texts;

RecordingContextPtr setPrivilege(const std::wstring& privilege, const std::wstring& account)
{
    RecordingContextPtr context =
        RecordingContext::Create({ { L"Privilege", privilege }, { L"DomainUser", account } });
    EXPECT_EQ(0, CallAction("SetPrivilege", context));
    return context;
}
}

TEST(SetPrivilege, NamedAccountGetsTheRight)
{
    RecordingContextPtr context = setPrivilege(L"SeServiceLogonRight", L"BUILTIN\\Users");
    EXPECT_EQ(L"account:BUILTIN\\Users:SeServiceLogonRight", LastPrivilegeRequest().str());
    EXPECT_EQ((Texts{ L"[SetPrivilege] sPrivilege  = SeServiceLogonRight",
                      L"[SetPrivilege] sDomainUser = BUILTIN\\Users" }),
              context->Texts(2));
    EXPECT_EQ(2u, context->lines.size());
}

TEST(SetPrivilege, WithoutAccountTheCurrentUserGetsIt)
{
    setPrivilege(L"SeBatchLogonRight", L"");
    EXPECT_EQ(L"current-user:SeBatchLogonRight", LastPrivilegeRequest().str());
}

TEST(SetPrivilege, EmptyPrivilegeGrantsNothing)
{
    setPrivilege(L"SeBatchLogonRight", L"");
    RecordingContextPtr context = setPrivilege(L"", L"BUILTIN\\Users");
    EXPECT_EQ(L"current-user:SeBatchLogonRight", LastPrivilegeRequest().str());
    EXPECT_EQ((Texts{ L"[SetPrivilege] sPrivilege  = ", L"[SetPrivilege] sDomainUser = BUILTIN\\Users",
                      L"[SetPrivilege] Empty sPrivilege" }),
              context->Texts(2));
    EXPECT_EQ(3u, context->lines.size());
}

TEST(SetPrivilege, AGrantThatFailsIsLogged)
{
    RecordingContextPtr context = setPrivilege(L"SeServiceLogonRight", L"NoSuchDomain\\nobody here");
    const Texts errors = context->Texts(4);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(0u, errors[0].find(L"[SetPrivilege] Couldn't grant SeServiceLogonRight to NoSuchDomain\\nobody here ("))
        << Narrow(errors[0]);
}

namespace {
// A policy that stores rights, as Windows' does and Wine's does not.
class StoredRights : public AccountRights {
public:
    std::set<std::wstring> held;
    bool failHolds = false;
    bool failRevoke = false;
    std::vector<std::wstring> calls;

    bool holds(const CString& right, const CString& account, bool& result)
    {
        calls.push_back(L"holds " + key(right, account));
        SetLastError(5);
        result = held.count(key(right, account)) > 0;
        return !failHolds;
    }
    bool grant(const CString& right, const CString& account)
    {
        calls.push_back(L"grant " + key(right, account));
        held.insert(key(right, account));
        return true;
    }
    bool revoke(const CString& right, const CString& account)
    {
        calls.push_back(L"revoke " + key(right, account));
        SetLastError(5);
        if (failRevoke)
            return false;
        held.erase(key(right, account));
        return true;
    }

private:
    static std::wstring key(const CString& right, const CString& account)
    {
        return (account.IsEmpty() ? std::wstring(L"(me)") : account.str()) + L":" + right.str();
    }
};

class PrivilegeRollbackTest : public ::testing::Test {
protected:
    int run(bool twin, const std::wstring& account = L"BUILTIN\\Users")
    {
        context = RecordingContext::Create({ { L"Privilege", L"SeServiceLogonRight" }, { L"DomainUser", account } },
                                           { { L"$action.invocationdata.dir", state.path() + L"\\step-1" } });
        return twin ? RollbackGrantedPrivilege(context, rights) : GrantPrivilege(context, rights);
    }

    ScopedTempDir state;
    StoredRights rights;
    RecordingContextPtr context;
};
}

TEST_F(PrivilegeRollbackTest, TwinTakesBackOnlyARightTheAccountDidNotHold)
{
    struct Case {
        const char* what;
        const wchar_t* account;
        bool heldBefore;
        int grants; // 2: a retried step
        bool heldAfterRollback;
        const wchar_t* twinLine;
    };
    const Case cases[] = {
        { "a new right", L"BUILTIN\\Users", false, 1, false,
          L"[RollbackSetPrivilege] Took SeServiceLogonRight back from BUILTIN\\Users" },
        { "a new right of the current user", L"", false, 1, false,
          L"[RollbackSetPrivilege] Took SeServiceLogonRight back from the current user" },
        // The retry finds the right held, and keeps the first run's state.
        { "a new right, retried", L"BUILTIN\\Users", false, 2, false,
          L"[RollbackSetPrivilege] Took SeServiceLogonRight back from BUILTIN\\Users" },
        { "a right held before", L"BUILTIN\\Users", true, 1, true, L"Nothing to rollback" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rights.held.clear();
        const std::wstring key = (*c.account ? std::wstring(c.account) : std::wstring(L"(me)")) + L":SeServiceLogonRight";
        if (c.heldBefore)
            rights.held.insert(key);
        for (int i = 0; i < c.grants; ++i)
            ASSERT_EQ(0, run(false, c.account));
        EXPECT_EQ(1u, rights.held.count(key));
        EXPECT_TRUE(context->Texts(4).empty());

        EXPECT_EQ(0, run(true, c.account));
        EXPECT_EQ(c.heldAfterRollback ? 1u : 0u, rights.held.count(key));
        EXPECT_TRUE(context->HasLine(c.twinLine, 2));
        // Consumed: nothing is taken back twice.
        EXPECT_EQ(0, run(true, c.account));
        EXPECT_EQ(std::vector<std::wstring>{ L"Nothing to rollback" }, context->Texts());
        EXPECT_TRUE(TreeContent(state.path() + L"\\step-1").empty());
    }
}

TEST_F(PrivilegeRollbackTest, PolicyThatCannotAnswerLeavesEverythingAsItWas)
{
    // The action cannot tell what to give back: it grants nothing.
    rights.failHolds = true;
    EXPECT_EQ(1, run(false));
    EXPECT_TRUE(rights.held.empty());
    EXPECT_EQ(std::vector<std::wstring>{ L"[SetPrivilege] Couldn't tell whether BUILTIN\\Users holds "
                                         L"SeServiceLogonRight; nothing granted (5)" },
              context->Texts(4));
    EXPECT_TRUE(TreeContent(state.path()).empty());

    // A twin that cannot take the right back keeps its state for another try.
    rights.failHolds = false;
    ASSERT_EQ(0, run(false));
    rights.failRevoke = true;
    EXPECT_EQ(1, run(true));
    EXPECT_EQ(1u, rights.held.size());
    EXPECT_EQ(1u, context->Texts(4).size());
    rights.failRevoke = false;
    EXPECT_EQ(0, run(true));
    EXPECT_TRUE(rights.held.empty());
}

TEST(SetPrivilege, TwinThroughTheExportWithoutStateHasNothingToDo)
{
    ScopedTempDir state;
    RecordingContextPtr context = RecordingContext::Create(
        { { L"Privilege", L"SeServiceLogonRight" }, { L"$action.invocationdata.dir", state.path() } });
    EXPECT_EQ(0, CallAction("RollbackSetPrivilege", context));
    EXPECT_EQ(std::vector<std::wstring>{ L"Nothing to rollback" }, context->Texts());
}
