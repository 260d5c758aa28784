#include "Mossel.h"

#include <ntsecapi.h>

#include <vector>

namespace {
CString g_lastRequest;

struct PolicyHandle {
    LSA_HANDLE handle;
    PolicyHandle() : handle(0) {}
    ~PolicyHandle() { if (handle) LsaClose(handle); }
};

LSA_UNICODE_STRING unicodeString(const CString& text)
{
    LSA_UNICODE_STRING result;
    result.Buffer = const_cast<wchar_t*>(text.GetString());
    result.Length = static_cast<USHORT>(text.GetLength() * sizeof(wchar_t));
    result.MaximumLength = static_cast<USHORT>(result.Length + sizeof(wchar_t));
    return result;
}

bool grant(PSID sid, const CString& privilege)
{
    LSA_OBJECT_ATTRIBUTES attributes = {};
    PolicyHandle policy;
    NTSTATUS status = LsaOpenPolicy(0, &attributes, POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES, &policy.handle);
    if (status != 0) {
        SetLastError(LsaNtStatusToWinError(status));
        return false;
    }
    LSA_UNICODE_STRING right = unicodeString(privilege);
    status = LsaAddAccountRights(policy.handle, sid, &right, 1);
    if (status != 0) {
        SetLastError(LsaNtStatusToWinError(status));
        return false;
    }
    return true;
}
}

bool AddPrivilege(const CString& privilege, const CString& account)
{
    g_lastRequest = L"account:" + account + L":" + privilege;
    DWORD sidSize = 0;
    DWORD domainSize = 0;
    SID_NAME_USE use;
    LookupAccountNameW(0, account, 0, &sidSize, 0, &domainSize, &use);
    if (sidSize == 0)
        return false;
    std::vector<BYTE> sid(sidSize);
    std::vector<wchar_t> domain(domainSize + 1);
    if (!LookupAccountNameW(0, account, &sid[0], &sidSize, &domain[0], &domainSize, &use))
        return false;
    return grant(&sid[0], privilege);
}

bool AddPrivilegeOnCurrentUser(const CString& privilege)
{
    g_lastRequest = L"current-user:" + privilege;
    HANDLE token = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, 0, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    const bool ok = size && GetTokenInformation(token, TokenUser, &buffer[0], size, &size);
    const DWORD error = GetLastError();
    CloseHandle(token);
    if (!ok) {
        SetLastError(error);
        return false;
    }
    return grant(reinterpret_cast<TOKEN_USER*>(&buffer[0])->User.Sid, privilege);
}

CString LastPrivilegeRequest()
{
    return g_lastRequest;
}
