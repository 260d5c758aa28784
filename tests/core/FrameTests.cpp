// The action frame: what every action relies on from the context and the
// export shape, checked through the real Verrand.dll.
#include <gtest/gtest.h>

#include "core/TrueFalseWords.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

TEST(TrueFalseWords, TrimmedAndCaseFoldedWords)
{
    EXPECT_TRUE(IsTrueWord(L" yes "));
    EXPECT_TRUE(IsTrueWord(L"ON"));
    EXPECT_TRUE(IsTrueWord(L"\tTrue\r\n"));
    EXPECT_TRUE(IsTrueWord(L"1"));
    EXPECT_TRUE(IsFalseWord(L"0 "));
    EXPECT_TRUE(IsFalseWord(L"Off"));
    EXPECT_TRUE(IsFalseWord(L"NO"));
    EXPECT_TRUE(IsFalseWord(L"false"));
    for (const wchar_t* neither : { L"", L"y", L"n", L"yes please", L"2", L"o n" }) {
        EXPECT_FALSE(IsTrueWord(neither)) << Narrow(neither);
        EXPECT_FALSE(IsFalseWord(neither)) << Narrow(neither);
    }
}

TEST(ActionFrame, UnknownArgumentReadsAsEmpty)
{
    RecordingContextPtr context = RecordingContext::Create();
    EXPECT_EQ(L"", *context->GetArg(L"NoSuchArgument"));
    context->properties[L"Known"] = L"v";
    EXPECT_EQ(L"v", *context->GetArg(L"Known"));
}

TEST(ActionFrame, ContextReferenceIsGivenBackByEveryAction)
{
    // A normal return, and a failure return with an invalid root.
    RecordingContextPtr context = RecordingContext::Create();
    const long before = context.use_count();
    CallAction("DeleteRegistryKey", context);
    EXPECT_EQ(before, context.use_count());
    context->arguments[L"Root"] = L"HKEY_LOCAL_MACHINE";
    context->arguments[L"Path"] = L"Software\\VerrandFrameTest";
    EXPECT_EQ(0, CallAction("DeleteRegistryKey", context));
    EXPECT_EQ(before, context.use_count());
}

TEST(ActionFrame, ActionsAreExportedUnderPlainNames)
{
    EXPECT_TRUE(FindAction("DeleteRegistryKey") != 0);
    EXPECT_TRUE(FindAction("DeleteRegistryKey@8") == 0);
    EXPECT_TRUE(FindAction("_DeleteRegistryKey@8") == 0);
}

TEST(ActionFrame, ContextReferenceIsGivenBackWhenAnActionThrows)
{
    HMODULE sample = LoadLibraryW(L"SampleActions.dll");
    ASSERT_TRUE(sample != 0) << GetLastError();
    ActionFunction throwing = reinterpret_cast<ActionFunction>(GetProcAddress(sample, "ThrowStandard"));
    ASSERT_TRUE(throwing != 0);
    RecordingContextPtr context = RecordingContext::Create();
    const long before = context.use_count();
    EXPECT_THROW(throwing(context), std::runtime_error);
    EXPECT_EQ(before, context.use_count());
    EXPECT_EQ(1u, context->lines.size());
    FreeLibrary(sample);
}
