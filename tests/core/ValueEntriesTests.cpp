// ";"-separated values are tested and edited by whole entries.
#include <gtest/gtest.h>

#include "core/ValueEntries.h"
#include "support/TestFiles.h"

namespace {
struct RemovalCase {
    std::wstring value;
    std::wstring text;
    std::wstring result;
    std::size_t removed;
    bool insideEntry;
};
}

TEST(ValueEntries, RemovalCutsWholeEntriesOnly)
{
    const std::vector<RemovalCase> rows = {
        // An entry with its own ";" goes with it, wherever it stands, every time.
        { L"C:\\B;C:\\A;C:\\B;", L"C:\\B;", L"C:\\A;", 2, false },
        // Case-sensitive: another case is another text.
        { L"C:\\B;C:\\A;", L"c:\\b;", L"C:\\B;C:\\A;", 0, false },
        // Without its ";" the separators stay where they were.
        { L"C:\\B;C:\\A;C:\\B", L"C:\\B", L";C:\\A;", 2, false },
        // The start of a longer entry is no entry: only the whole one goes.
        { L"C:\\Notes\\bin;C:\\Notes\\bin64;C:\\x", L"C:\\Notes\\bin", L";C:\\Notes\\bin64;C:\\x", 1, false },
        // Found only inside entries: nothing is cut, and that is reported.
        { L"C:\\Notes\\bin64;D:\\C:\\Notes\\bin", L"C:\\Notes\\bin", L"C:\\Notes\\bin64;D:\\C:\\Notes\\bin", 0, true },
        { L"a;b", L"a;b;", L"a;b", 0, false },
        { L"xa;b", L"a;b", L"xa;b", 0, true },
        // A run of entries counts as whole when both of its ends do.
        { L"x;a;b;y", L"a;b;", L"x;y", 1, false },
        // A lone ";" is no entry of its own: entries are never joined.
        { L"a;b", L";", L"a;b", 0, true },
        { L"a;;b", L";", L"a;b", 1, false },
        { L"", L"a", L"", 0, false },
        { L"a", L"", L"a", 0, false },
        { L"a", L"a", L"", 1, false },
    };
    for (const RemovalCase& row : rows) {
        const EntryRemoval removal = RemoveWholeEntries(row.value, row.text);
        const std::string label = Narrow(row.text) + " from " + Narrow(row.value);
        EXPECT_EQ(row.result, removal.value) << label;
        EXPECT_EQ(row.removed, removal.removed) << label;
        EXPECT_EQ(row.insideEntry, removal.insideEntry) << label;
        // The presence test agrees with the removal.
        EXPECT_EQ(row.removed > 0, FindWholeEntry(row.value, row.text) != std::wstring::npos) << label;
    }
}

TEST(ValueEntries, PresenceIsFoundPastPartsOfLongerEntries)
{
    EXPECT_EQ(std::wstring::npos, FindWholeEntry(L"C:\\h11;C:\\h12", L"C:\\h1"));
    EXPECT_EQ(7u, FindWholeEntry(L"C:\\h11;C:\\h1;", L"C:\\h1"));
    EXPECT_EQ(7u, FindWholeEntry(L"C:\\h11;C:\\h1", L"C:\\h1"));
    EXPECT_EQ(6u, FindWholeEntry(L"C:\\h1;C:\\h1", L"C:\\h1", 1));
}
