#include "RunAsUserFlag.h"

namespace {
const DWORD kRunAsUser = 0x2000; // SLDF_RUNAS_USER
}

const wchar_t* AddRunAsUserFlag(IShellLinkDataList& link)
{
    DWORD flags = 0;
    if (FAILED(link.GetFlags(&flags)))
        return L"IShellLinkDataList::GetFlags() failed.";
    if (flags & kRunAsUser)
        return 0;
    if (FAILED(link.SetFlags(flags | kRunAsUser)))
        return L"IShellLinkDataList::SetFlags() failed.";
    return 0;
}
