// The run-as-different-user bit, against a link whose flags we can see (the
// shell under test accepts SetFlags without storing anything).
#include <vector>

#include <gtest/gtest.h>

#include "actions/shell/RunAsUserFlag.h"

namespace {
const DWORD kRunAsUser = 0x2000;

class FakeShellLinkDataList : public IShellLinkDataList {
public:
    explicit FakeShellLinkDataList(DWORD initial) : flags(initial), getResult(S_OK), setResult(S_OK) {}

    STDMETHODIMP QueryInterface(REFIID, void** object)
    {
        *object = 0;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() { return 1; }
    STDMETHODIMP_(ULONG) Release() { return 1; }
    STDMETHODIMP AddDataBlock(void*) { return E_NOTIMPL; }
    STDMETHODIMP CopyDataBlock(DWORD, void**) { return E_NOTIMPL; }
    STDMETHODIMP RemoveDataBlock(DWORD) { return E_NOTIMPL; }
    STDMETHODIMP GetFlags(DWORD* value)
    {
        if (FAILED(getResult))
            return getResult;
        *value = flags;
        return getResult;
    }
    STDMETHODIMP SetFlags(DWORD value)
    {
        written.push_back(value);
        if (SUCCEEDED(setResult))
            flags = value;
        return setResult;
    }

    DWORD flags;
    HRESULT getResult;
    HRESULT setResult;
    std::vector<DWORD> written;
};
}

TEST(RunAsUserFlag, AddsTheBitKeepingTheOtherFlags)
{
    FakeShellLinkDataList link(0x81);
    EXPECT_EQ(nullptr, AddRunAsUserFlag(link));
    ASSERT_EQ(1u, link.written.size());
    EXPECT_EQ(0x81u | kRunAsUser, link.written[0]);
}

TEST(RunAsUserFlag, BitAlreadySetIsNotWrittenAgain)
{
    FakeShellLinkDataList link(kRunAsUser | 0x4);
    EXPECT_EQ(nullptr, AddRunAsUserFlag(link));
    EXPECT_TRUE(link.written.empty());
}

TEST(RunAsUserFlag, FailuresNameTheCallThatFailed)
{
    FakeShellLinkDataList unreadable(0);
    unreadable.getResult = E_FAIL;
    EXPECT_STREQ(L"IShellLinkDataList::GetFlags() failed.", AddRunAsUserFlag(unreadable));
    EXPECT_TRUE(unreadable.written.empty());

    FakeShellLinkDataList unwritable(0);
    unwritable.setResult = E_ACCESSDENIED;
    EXPECT_STREQ(L"IShellLinkDataList::SetFlags() failed.", AddRunAsUserFlag(unwritable));
}

TEST(RunAsUserFlag, FalseResultCountsAsSuccess)
{
    FakeShellLinkDataList link(0);
    link.getResult = S_FALSE;
    link.setResult = S_FALSE;
    EXPECT_EQ(nullptr, AddRunAsUserFlag(link));
    EXPECT_EQ(1u, link.written.size());
}
