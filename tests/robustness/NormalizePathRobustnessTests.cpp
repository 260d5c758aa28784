// NormalizePath on generated malformed paths: it never fails, and whatever
// it is given, its result keeps every character that is not a separator, in
// order, and every piece exactly as given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RobustnessHarness.h"
#include "actions/shell/NormalizePath.h"
#include "core/PathRules.h"
#include "support/ActionLibrary.h"
#include "support/InputMutator.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
bool isSeparator(wchar_t ch)
{
    return ch == L'/' || ch == L'\\';
}

std::size_t leadingSeparators(const std::wstring& text)
{
    std::size_t count = 0;
    while (count < text.size() && isSeparator(text[count]))
        ++count;
    return count;
}

// The pieces between separators, a run of separators counting as one cut.
std::vector<std::wstring> piecesOf(const std::wstring& text)
{
    std::vector<std::wstring> pieces;
    std::wstring piece;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isSeparator(text[i])) {
            if (!piece.empty())
                pieces.push_back(piece);
            piece.clear();
        } else {
            piece += text[i];
        }
    }
    return pieces;
}

// What the result must look like, checked piece by piece against the
// input rather than rebuilt as a whole.
void checkNormalized(const std::wstring& input, const std::wstring& result)
{
    SCOPED_TRACE("input " + Shown(input) + " result " + Shown(result));
    ASSERT_EQ(std::wstring::npos, result.find(L'\\'));
    ASSERT_LE(result.size(), input.size());

    const std::vector<std::wstring> inputPieces = piecesOf(input);
    if (inputPieces.empty()) {
        // Nothing but separators: only the backslashes change.
        ASSERT_EQ(input.size(), result.size());
        for (std::size_t i = 0; i < input.size(); ++i)
            ASSERT_EQ(isSeparator(input[i]) ? L'/' : input[i], result[i]);
        return;
    }

    const std::size_t leading = leadingSeparators(input);
    ASSERT_EQ(std::wstring(leading, L'/'), result.substr(0, leading));
    // After the leading separators, the pieces are joined by single "/":
    // splitting there gives exactly the input's pieces.
    std::vector<std::wstring> resultPieces;
    std::wstring::size_type start = leading;
    for (;;) {
        const std::wstring::size_type slash = result.find(L'/', start);
        resultPieces.push_back(result.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start));
        if (slash == std::wstring::npos)
            break;
        start = slash + 1;
    }
    ASSERT_EQ(inputPieces, resultPieces);
    ASSERT_EQ(result, NormalizePath(result)) << "a normalised path normalises to itself";
}

const std::vector<std::string> kPathSeeds = {
    "C:\\Program Files\\\\App \\ Tool.lnk",
    "D:/Menu/x.lnk",
    "\\\\srv\\share\\dir\\",
    "a\\ \\b",
    "",
    "///",
    " / ",
    "\\\\?\\C:\\very\\long\\..\\path\\.\\x.lnk",
    "C:\\Users\\\t tab\t\\ spaced  name \\file.lnk",
    "relative\\dir/mixed\\\\//\\x",
    "\xE2\x98\xBA\\\xF0\x9F\x98\x80/\xC3\xA9t\xC3\xA9 ",
    "  leading blanks\\trailing blanks  ",
};
}

TEST(NormalizePathRobustness, MutatedPathsKeepTheirPiecesInOrder)
{
    InputMutator mutator(kPathSeeds, 0x4E50u, "\\/ \t.:aZ09\xC3\xA9");
    for (std::size_t i = 0; i < 12000; ++i) {
        BeginInput(Target::NormalizePath, i);
        const std::wstring input = mutator.NextWide();
        std::wstring result;
        ASSERT_NO_THROW(result = NormalizePath(input)) << "input " << i << ": " << Shown(input);
        ASSERT_NO_FATAL_FAILURE(checkNormalized(input, result)) << "input " << i;
    }
}

TEST(NormalizePathRobustness, HugePathsAreHandledInOnePass)
{
    // Shapes that cost a quadratic algorithm dearly: millions of
    // separators, blanks, one-character pieces and blank-only pieces.
    const std::size_t size = 2000000;
    std::vector<std::wstring> inputs;
    inputs.push_back(std::wstring(size, L'\\'));
    inputs.push_back(std::wstring(size, L' '));
    std::wstring alternating;
    std::wstring blankPieces;
    std::wstring mixedSeparators;
    for (std::size_t i = 0; i < size / 2; ++i) {
        alternating += i % 2 ? L"/" : L"a";
        blankPieces += L" \\";
        mixedSeparators += i % 3 ? L"\\/" : L"x ";
    }
    inputs.push_back(alternating);
    inputs.push_back(blankPieces);
    inputs.push_back(mixedSeparators);
    inputs.push_back(L"C:\\" + std::wstring(size, L'x') + L"\\y.lnk");
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        BeginInput(Target::NormalizePath, i);
        std::wstring result;
        ASSERT_NO_THROW(result = NormalizePath(inputs[i]));
        ASSERT_NO_FATAL_FAILURE(checkNormalized(inputs[i], result)) << "input " << i;
    }
}

namespace {
// Never lets a generated path climb out of the folder it is put in.
std::wstring withoutParentSteps(std::wstring path)
{
    for (std::wstring::size_type at = path.find(L".."); at != std::wstring::npos; at = path.find(L"..", at))
        path[at] = L'_';
    return path;
}

const wchar_t* const kShortcutFailures[] = { L"Couldn't get IShellLink instance", L"Couldn't set path to target",
                                              L"Couldn't get IPersistFile instance", L"Couldn't save shortcut file" };
}

TEST(NormalizePathRobustness, CreateShortcutExportSavesWhereTheNormalisedPathSays)
{
    ScopedTempDir dir;
    InputMutator mutator({ "Menu\\\\Sub \\App.lnk", "a\\ \\b\\c.lnk", "x/y//z.lnk", "  sp  \\ x.lnk ",
                           "\\\\lead\\trail\\\\", "\xC3\xA9t\xC3\xA9\\\xE2\x98\xBA.lnk", "deep\\er\\and\\deeper\\d.lnk" },
                         0x5C07u, "\\/ .lnk_aZ\t:*?");
    for (std::size_t i = 0; i < 100; ++i) {
        BeginInput(Target::NormalizePathThroughDll, i);
        const std::wstring link = dir.path() + L"\\" + withoutParentSteps(mutator.NextWide());
        RecordingContextPtr context = RecordingContext::Create({ { L"linkFullPath", link },
                                                                 { L"pathToTarget", L"C:\\windows\\notepad.exe" },
                                                                 { L"runAction", L"1" } });
        const std::wstring normalised = ToBackslashForm(NormalizePath(link));
        // A piece of blanks alone may read as a folder that is already there.
        const bool existedBefore = PathExists(normalised);
        const int status = CallAction("CreateShortcut", context);
        SCOPED_TRACE("input " + std::to_string(i) + ": " + Shown(link));
        const std::vector<LogLine>& lines = context->lines;
        ASSERT_FALSE(lines.empty());
        // A path Windows would read as another (a piece ending in a dot or a
        // blank, a device name) is refused before anything is made.
        const PathProblem problem = CheckTarget(normalised);
        if (problem != PathAcceptable) {
            ASSERT_EQ(1, status);
            ASSERT_EQ(1u, lines.size());
            ASSERT_TRUE(lines.front().text == PathRefusal(L"linkFullPath", normalised, problem))
                << Shown(lines.front().text);
            ASSERT_EQ(existedBefore, PathExists(normalised));
            continue;
        }
        ASSERT_TRUE(lines.front().text == L"Creating link, location:  " + normalised) << Shown(lines.front().text);
        if (status == 0) {
            ASSERT_TRUE(lines.back().text == L"Saving shortcut file. Path = " + normalised);
            ASSERT_TRUE(PathExists(normalised)) << "no shortcut at " << Shown(normalised);
            continue;
        }
        ASSERT_EQ(1, status);
        ASSERT_EQ(4, lines.back().level);
        const std::wstring folder = normalised.substr(0, normalised.rfind(L'\\') + 1);
        bool named = lines.back().text == L"Couldn't create folder: " + folder;
        for (const wchar_t* failure : kShortcutFailures)
            named = named || lines.back().text == failure;
        ASSERT_TRUE(named) << "unexpected failure line " << Shown(lines.back().text);
    }
}
