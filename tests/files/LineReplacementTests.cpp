// The replacement engine's streaming parts called directly: the search, the
// replacement stages when a text arrives in chunks of any size, in bytes
// and in 16-bit units, and the buffered writer under them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "actions/files/LineFiles.h"
#include "actions/files/LineReplacement.h"
#include "actions/files/TextSearch.h"
#include "support/TestFiles.h"

namespace {
// Units that share their low byte, so that the search's shift table (which
// goes by the low byte) meets units it cannot tell apart.
const unsigned short kWideLetters[] = { 0x0061, 0x0161, 0x0062 };

template <class Unit>
Unit letter(unsigned index);
template <>
unsigned char letter<unsigned char>(unsigned index)
{
    return static_cast<unsigned char>('a' + index);
}
template <>
unsigned short letter<unsigned short>(unsigned index)
{
    return kWideLetters[index];
}

template <class Unit>
void searchLikeAPlainSearch(std::mt19937& random)
{
    for (int round = 0; round < 20000; ++round) {
        const unsigned letters = 2 + random() % 2;
        std::vector<Unit> text(1 + random() % 40);
        for (Unit& unit : text)
            unit = letter<Unit>(random() % letters);
        if (round % 3 == 0) {
            // Periodic texts: a short word repeated, sometimes with one unit changed.
            const std::size_t period = 1 + random() % 3;
            for (std::size_t i = period; i < text.size(); ++i)
                text[i] = text[i - period];
            if (round % 2)
                text[random() % text.size()] = letter<Unit>(random() % letters);
        }
        std::vector<Unit> buffer(random() % 300);
        for (Unit& unit : buffer)
            unit = letter<Unit>(random() % letters);
        // Plant the text here and there.
        for (int planted = random() % 4; planted > 0 && buffer.size() >= text.size(); --planted)
            std::copy(text.begin(), text.end(), buffer.begin() + random() % (buffer.size() - text.size() + 1));
        const TextSearch<Unit> search(text.data(), text.size());
        for (std::size_t from = 0; from <= buffer.size(); from += 1 + random() % 30) {
            const Unit* begin = buffer.data() + from;
            const Unit* end = buffer.data() + buffer.size();
            const Unit* expected = std::search(begin, end, text.begin(), text.end());
            const Unit* found = search.find(begin, end);
            ASSERT_EQ(expected == end ? -1 : expected - buffer.data(), found ? found - buffer.data() : -1)
                << "round " << round << ", text of " << text.size() << " in " << buffer.size() << " from " << from;
        }
    }
}
}

TEST(TextSearch, FindsTheFirstOccurrenceAsAPlainSearchDoes)
{
    std::mt19937 random(0x5EA4C4u);
    searchLikeAPlainSearch<unsigned char>(random);
    searchLikeAPlainSearch<unsigned short>(random);
    // A text longer than the buffer, and an empty one, are never found.
    const unsigned char word[] = { 'a', 'b' };
    EXPECT_EQ(0, TextSearch<unsigned char>(word, 2).find(word, word + 1));
    EXPECT_EQ(0, TextSearch<unsigned char>(word, 0).find(word, word + 2));
}

namespace {
struct Entry {
    std::string search;
    std::string replacement;
};

// What the stages give on, written out with each line's ending, and the
// reports in the order they came.
template <class Unit>
class Collector : public LineSink<Unit> {
public:
    void lines(const Unit* data, std::size_t size) { out.insert(out.end(), data, data + size); }
    void text(const Unit* data, std::size_t size) { out.insert(out.end(), data, data + size); }
    void endLine(LineEnding ending)
    {
        if (ending == LineEnding::CarriageReturnLineFeed || ending == LineEnding::CarriageReturn)
            out.push_back('\r');
        if (ending == LineEnding::CarriageReturnLineFeed || ending == LineEnding::LineFeed)
            out.push_back('\n');
    }
    std::vector<Unit> out;
};

class Reports {
public:
    class Entry : public ReplacementReport {
    public:
        Entry(std::vector<std::string>& seen, std::size_t index) : m_seen(seen), m_index(index) {}
        void lineDone(std::size_t count) { m_seen.push_back(std::to_string(m_index) + ":" + std::to_string(count)); }

    private:
        std::vector<std::string>& m_seen;
        std::size_t m_index;
    };
    std::vector<std::string> seen;
};

// The plain model: each line split off with its ending (a carriage return
// before the line feed, or at the very end, belongs to the ending), each
// entry replaced in the line's text in turn.
std::string modelOf(const std::string& input, const std::vector<Entry>& entries, std::vector<std::string>& reports)
{
    std::string out;
    for (std::size_t start = 0; start < input.size();) {
        std::size_t feed = input.find('\n', start);
        const std::size_t lineEnd = feed == std::string::npos ? input.size() : feed;
        std::size_t textEnd = lineEnd;
        if (textEnd > start && input[textEnd - 1] == '\r')
            --textEnd;
        std::string line = input.substr(start, textEnd - start);
        for (std::size_t k = 0; k < entries.size(); ++k) {
            if (entries[k].search.empty()) {
                reports.push_back(std::to_string(k) + ":0");
                continue;
            }
            std::string replaced;
            std::size_t count = 0;
            std::size_t pos = 0;
            for (std::size_t hit = line.find(entries[k].search); hit != std::string::npos;
                 hit = line.find(entries[k].search, pos)) {
                replaced += line.substr(pos, hit - pos) + entries[k].replacement;
                pos = hit + entries[k].search.size();
                ++count;
            }
            line = replaced + line.substr(pos);
            if (count)
                reports.push_back(std::to_string(k) + ":" + std::to_string(count));
        }
        out += line + input.substr(textEnd, lineEnd - textEnd) + (feed == std::string::npos ? "" : "\n");
        start = lineEnd + 1;
    }
    return out;
}

// Bytes as units: letters move to units with a high byte, line feeds and
// carriage returns stay as they are.
template <class Unit>
std::vector<Unit> unitsOf(const std::string& text)
{
    std::vector<Unit> units;
    for (unsigned char c : text)
        units.push_back(static_cast<Unit>(sizeof(Unit) == 1 || c == '\n' || c == '\r' ? c : 0x4100 + c));
    return units;
}

template <class Unit>
void replaceInChunks(const std::string& input, const std::vector<Entry>& entries, std::size_t chunk)
{
    std::vector<std::string> expectedReports;
    const std::vector<Unit> expected = unitsOf<Unit>(modelOf(input, entries, expectedReports));

    const LineUnits<Unit> units = { '\n', '\r' };
    Collector<Unit> collector;
    Reports reports;
    std::vector<Reports::Entry> reportOf;
    for (std::size_t k = 0; k < entries.size(); ++k)
        reportOf.push_back(Reports::Entry(reports.seen, k));
    std::vector<typename ReplaceChain<Unit>::Entry> stages(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        stages[k].search = unitsOf<Unit>(entries[k].search);
        stages[k].replacement = unitsOf<Unit>(entries[k].replacement);
        stages[k].report = &reportOf[k];
    }
    ReplaceChain<Unit> chain(stages, units, collector);
    LineSplitter<Unit> splitter(units, chain);
    const std::vector<Unit> text = unitsOf<Unit>(input);
    for (std::size_t at = 0; at < text.size(); at += chunk)
        splitter.chunk(text.data() + at, text.data() + std::min(text.size(), at + chunk));
    splitter.finish();

    ASSERT_EQ(expected, collector.out);
    ASSERT_EQ(expectedReports, reports.seen);
}
}

TEST(ReplaceStages, AnyChunkingGivesWhatReplacingWholeLinesGives)
{
    std::string longLine;
    for (int i = 0; i < 3000; ++i)
        longLine += i % 7 ? "abaabaaab" : "KEY\rKEY";
    const std::vector<std::string> inputs = {
        "one KEY\r\nKEY KEYKEY\n\nno key\r\r\nlast KEY",
        "KEY\r",
        "\r\n\r\r\nK\rEY\rKEY\r",
        "x\n" + longLine + "\r\n" + longLine,
    };
    const std::vector<std::vector<Entry> > entryLists = {
        { { "KEY", "value" } },
        // The second entry works on what the first left, the third never
        // matches, the empty one reports every line.
        { { "KEY", "K" }, { "KK", "<" }, { "\n", "x" }, { "", "y" }, { "aa", "a" } },
        // A text ending with a carriage return, never the one that ends a line.
        { { "KEY\r", "!" }, { "\r", "" } },
        { { "abaabaaabaabaa", "-" }, { "aab", "" } },
    };
    const std::size_t chunks[] = { 1, 2, 3, 5, 13, 64, 4095, 4097, 1 << 20 };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        for (std::size_t e = 0; e < entryLists.size(); ++e) {
            for (std::size_t chunk : chunks) {
                SCOPED_TRACE("input " + std::to_string(i) + ", entries " + std::to_string(e) + ", chunks of " +
                             std::to_string(chunk));
                ASSERT_NO_FATAL_FAILURE(replaceInChunks<unsigned char>(inputs[i], entryLists[e], chunk));
                ASSERT_NO_FATAL_FAILURE(replaceInChunks<unsigned short>(inputs[i], entryLists[e], chunk));
            }
        }
    }
}

// Pieces smaller than, as large as and larger than the writer's buffer, in
// every order: the file holds them all, in order.
TEST(BufferedFileWriter, FileHoldsEveryPieceInOrder)
{
    const std::size_t buffer = kFileChunkSize;
    std::vector<std::vector<std::size_t> > pieceLists = {
        { 0, 1, buffer - 1, 1, buffer, buffer + 1, 3 * buffer + 7, 2 },
        { buffer, buffer, 5, 2 * buffer - 5, 0 },
        { 700, 30, 28, 700, 30, 28, 3 * buffer, 700 },
    };
    // Every short length the writer copies itself, at every place in the
    // buffer, its end included.
    pieceLists.push_back({});
    for (std::size_t size = 0; pieceLists.back().size() < 3000; size = (size + 1) % 66)
        pieceLists.back().push_back(size);
    ScopedTempDir folder;
    for (std::size_t list = 0; list < pieceLists.size(); ++list) {
        const std::wstring path = folder.file(L"out" + std::to_wstring(list) + L".txt");
        std::string expected;
        BufferedFileWriter writer(path);
        for (std::size_t size : pieceLists[list]) {
            std::string piece;
            for (std::size_t i = 0; i < size; ++i)
                piece += static_cast<char>('a' + (expected.size() + i) % 23);
            writer.write(piece.data(), piece.size());
            expected += piece;
        }
        writer.close();
        EXPECT_TRUE(ReadBytes(path) == expected) << "piece list " << list;
    }
}
