#include "Mossel.h"

#include <ntsecapi.h>

#include <vector>

namespace {
CString g_lastRequest;

// STATUS_OBJECT_NAME_NOT_FOUND: the policy has no account object for the
// SID, so the account holds no right of its own.
const NTSTATUS kNoAccountObject = static_cast<NTSTATUS>(0xC0000034L);

struct PolicyHandle {
    LSA_HANDLE handle;
    PolicyHandle() : handle(0) {}
    ~PolicyHandle() { if (handle) LsaClose(handle); }
};

// Frees what the LSA allocated.
struct LsaMemory {
    void* memory;
    LsaMemory() : memory(0) {}
    ~LsaMemory() { if (memory) LsaFreeMemory(memory); }
};

LSA_UNICODE_STRING unicodeString(const CString& text)
{
    LSA_UNICODE_STRING result;
    result.Buffer = const_cast<wchar_t*>(text.GetString());
    result.Length = static_cast<USHORT>(text.GetLength() * sizeof(wchar_t));
    result.MaximumLength = static_cast<USHORT>(result.Length + sizeof(wchar_t));
    return result;
}

bool failed(NTSTATUS status)
{
    if (status == 0)
        return false;
    SetLastError(LsaNtStatusToWinError(status));
    return true;
}

bool openPolicy(ACCESS_MASK access, PolicyHandle& policy)
{
    LSA_OBJECT_ATTRIBUTES attributes = {};
    return !failed(LsaOpenPolicy(0, &attributes, access, &policy.handle));
}

bool grant(PSID sid, const CString& privilege)
{
    PolicyHandle policy;
    if (!openPolicy(POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES, policy))
        return false;
    LSA_UNICODE_STRING right = unicodeString(privilege);
    return !failed(LsaAddAccountRights(policy.handle, sid, &right, 1));
}

// The SID of a named account, or of the user this process runs as when the
// account is empty.
bool sidOf(const CString& account, std::vector<BYTE>& sid)
{
    if (!account.IsEmpty()) {
        DWORD sidSize = 0;
        DWORD domainSize = 0;
        SID_NAME_USE use;
        LookupAccountNameW(0, account, 0, &sidSize, 0, &domainSize, &use);
        if (sidSize == 0)
            return false;
        sid.resize(sidSize);
        std::vector<wchar_t> domain(domainSize + 1);
        return LookupAccountNameW(0, account, &sid[0], &sidSize, &domain[0], &domainSize, &use) != FALSE;
    }
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
    PSID user = reinterpret_cast<TOKEN_USER*>(&buffer[0])->User.Sid;
    sid.assign(static_cast<BYTE*>(user), static_cast<BYTE*>(user) + GetLengthSid(user));
    return true;
}
}

bool AddPrivilege(const CString& privilege, const CString& account)
{
    g_lastRequest = L"account:" + account + L":" + privilege;
    std::vector<BYTE> sid;
    return sidOf(account, sid) && grant(&sid[0], privilege);
}

bool AddPrivilegeOnCurrentUser(const CString& privilege)
{
    g_lastRequest = L"current-user:" + privilege;
    std::vector<BYTE> sid;
    return sidOf(CString(), sid) && grant(&sid[0], privilege);
}

bool HoldsPrivilege(const CString& privilege, const CString& account, bool& holds)
{
    holds = false;
    std::vector<BYTE> sid;
    PolicyHandle policy;
    if (!sidOf(account, sid) || !openPolicy(POLICY_LOOKUP_NAMES, policy))
        return false;
    LsaMemory rights;
    ULONG count = 0;
    const NTSTATUS status =
        LsaEnumerateAccountRights(policy.handle, &sid[0], reinterpret_cast<PLSA_UNICODE_STRING*>(&rights.memory), &count);
    if (status == kNoAccountObject)
        return true;
    if (failed(status))
        return false;
    const PLSA_UNICODE_STRING list = static_cast<PLSA_UNICODE_STRING>(rights.memory);
    for (ULONG i = 0; i < count && !holds; ++i) {
        const std::wstring name(list[i].Buffer, list[i].Length / sizeof(wchar_t));
        holds = CompareStringOrdinal(name.c_str(), static_cast<int>(name.size()), privilege.GetString(),
                                     privilege.GetLength(), TRUE) == CSTR_EQUAL;
    }
    return true;
}

bool RemovePrivilege(const CString& privilege, const CString& account)
{
    g_lastRequest = L"remove:" + account + L":" + privilege;
    std::vector<BYTE> sid;
    PolicyHandle policy;
    if (!sidOf(account, sid) || !openPolicy(POLICY_LOOKUP_NAMES, policy))
        return false;
    LSA_UNICODE_STRING right = unicodeString(privilege);
    return !failed(LsaRemoveAccountRights(policy.handle, &sid[0], FALSE, &right, 1));
}

CString LastPrivilegeRequest()
{
    return g_lastRequest;
}
