// SetPrivilege picks the account form or the current-user form of the grant.
// Wine's LSA stores no rights, so the grant is observed through Mossel's
// record of the last request.
#include <gtest/gtest.h>

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
