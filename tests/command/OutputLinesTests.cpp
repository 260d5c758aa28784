// The rules that turn a command's output bytes into log lines: line ends,
// decoding, masking, pieces and the line limit; and the reading of the two
// settings that ask for it.
#include <climits>

#include <gtest/gtest.h>

#include <windows.h>

#include "actions/command/OutputLines.h"
#include "actions/command/WatchOptions.h"
#include "support/TestFiles.h"

namespace {
typedef std::vector<std::wstring> Texts;
typedef std::vector<std::string> Chunks;

// The texts one stream gives for the bytes, read in the chunks given.
Texts linesOf(const Chunks& chunks, const std::wstring& secret = L"", unsigned codePage = 1252)
{
    const SecretMask mask(secret, false);
    LineBudget budget;
    Texts texts;
    OutputLines lines(mask, codePage, budget, [&texts](const std::wstring& text) { texts.push_back(text); });
    for (const std::string& chunk : chunks)
        lines.Add(chunk.data(), chunk.size());
    lines.Finish();
    return texts;
}

// The pieces of one long line put together again.
std::wstring joined(const Texts& pieces)
{
    std::wstring line;
    for (const std::wstring& piece : pieces)
        line += piece;
    return line;
}

// The bytes cut after every byte: the worst a pipe can do.
Chunks byteByByte(const std::string& bytes)
{
    Chunks chunks;
    for (char c : bytes)
        chunks.push_back(std::string(1, c));
    return chunks;
}
}

TEST(OutputLines, LineEnds)
{
    struct Case {
        const char* why;
        Chunks chunks;
        Texts lines;
    } cases[] = {
        { "the three line ends", { "a\r\nb\nc\rd\n" }, { L"a", L"b", L"c", L"d" } },
        { "a last line without an end", { "one\ntwo" }, { L"one", L"two" } },
        { "no output, no line", {}, {} },
        { "empty lines are lines", { "\n\r\n\r" }, { L"", L"", L"" } },
        { "\\r\\n split between two reads", { "a\r", "\nb\r", "", "\n" }, { L"a", L"b" } },
        { "\\r then \\r\\n: one empty line", { "a\r\r\nb" }, { L"a", L"", L"b" } },
        { "tabs stay, NUL becomes U+FFFD", { std::string("\ta\0b\t\n", 6) }, { L"\ta\xFFFD" L"b\t" } },
        { "a line arriving in pieces", { "he", "ll", "o\nwor", "ld" }, { L"hello", L"world" } },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.lines, linesOf(c.chunks)) << c.why;
        std::string whole;
        for (const std::string& chunk : c.chunks)
            whole += chunk;
        EXPECT_EQ(c.lines, linesOf(byteByByte(whole))) << c.why << ", byte by byte";
    }
}

TEST(OutputLines, EachLineIsUtf8OrTheCodePage)
{
    struct Case {
        const char* why;
        std::string bytes;
        unsigned codePage;
        std::wstring line;
    } cases[] = {
        { "valid UTF-8", "caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80", 1252, L"caf\xE9 \x2713 \xD83D\xDE00" },
        { "OEM byte", "caf\x82", 437, L"caf\xE9" },
        { "one bad byte makes the whole line the code page's", "\xC3\xA9\xE9", 1252, L"\xC3\xA9\xE9" },
        { "overlong form", "\xC0\xAF", 1252, L"\xC0\xAF" },
        { "surrogate", "\xED\xA0\x80", 1252, L"\xED\xA0\x20AC" },
        { "above U+10FFFF", "\xF4\x90\x80\x80", 1252, L"\xF4\x90\x20AC\x20AC" },
        { "cut sequence at the end", "ok\xE2\x9C", 1252, L"ok\xE2\x0153" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(Texts{ c.line }, linesOf({ c.bytes }, L"", c.codePage)) << c.why;

    // Long lines are decoded in chunks: a character cut by a chunk's end is
    // kept whole, and a chunk of another code page does not spoil the next.
    const std::string a(CommandOutput::kChunkBytes - 1, 'a');
    EXPECT_EQ(std::wstring(a.begin(), a.end()) + L"\xE9!", joined(linesOf({ a + "\xC3", "\xA9!" })));
    EXPECT_EQ(0u, IncompleteUtf8Tail("a\xF0\x9F\x98\x80", 5));
    EXPECT_EQ(3u, IncompleteUtf8Tail("a\xF0\x9F\x98", 4));
    EXPECT_EQ(1u, IncompleteUtf8Tail("\xC3", 1));
    EXPECT_EQ(0u, IncompleteUtf8Tail("\x80\x80\x80", 3));
}

TEST(OutputLines, SecretsAreMaskedWhereverTheReadsCutThem)
{
    const std::string line = "user=admin password=hunter2 again hunter2";
    const Texts masked = { L"user=admin password=******** again ********" };
    EXPECT_EQ(masked, linesOf({ line }, L"hunter2"));
    EXPECT_EQ(masked, linesOf(byteByByte(line), L"hunter2"));

    // A secret across the boundary of a 4 KiB read, of a decoded chunk and of
    // a logged piece.
    for (size_t at : { size_t(4093), CommandOutput::kChunkBytes - 3, CommandOutput::kPieceCharacters - 3 }) {
        const std::string before(at, 'a');
        const std::string bytes = before + "hunter2" + std::string(100, 'b');
        EXPECT_EQ(std::wstring(before.begin(), before.end()) + L"********" + std::wstring(100, L'b'),
                  joined(linesOf({ bytes.substr(0, at + 3), bytes.substr(at + 3) }, L"hunter2")))
            << at;
    }
}

TEST(OutputLines, LongLinesGoOutInPieces)
{
    const size_t piece = CommandOutput::kPieceCharacters;
    struct Case {
        size_t length;
        std::vector<size_t> pieces;
    } cases[] = {
        { piece, { piece } },
        { piece + 1, { piece, 1 } },
        { 3 * piece, { piece, piece, piece } },
        { 100000, { piece, piece, piece, piece, piece, piece, piece, piece, piece, piece, piece, piece, 1696 } },
    };
    for (const Case& c : cases) {
        // In reads of 1000 bytes, as a pipe would hand them over.
        const std::string bytes(c.length, 'x');
        Chunks chunks;
        for (size_t at = 0; at < bytes.size(); at += 1000)
            chunks.push_back(bytes.substr(at, 1000));
        chunks.push_back("\nnext");
        std::vector<size_t> lengths;
        Texts texts = linesOf(chunks);
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(L"next", texts.back());
        texts.pop_back();
        for (const std::wstring& text : texts)
            lengths.push_back(text.size());
        EXPECT_EQ(c.pieces, lengths) << c.length;
    }
}

TEST(OutputLines, BothStreamsShareTheLineLimit)
{
    const SecretMask mask(L"", false);
    LineBudget budget(3);
    Texts texts;
    OutputLines output(mask, 1252, budget, [&texts](const std::wstring& text) { texts.push_back(L"> " + text); });
    OutputLines errors(mask, 1252, budget, [&texts](const std::wstring& text) { texts.push_back(L"! " + text); });
    const auto add = [](OutputLines& lines, const std::string& bytes) { lines.Add(bytes.data(), bytes.size()); };
    add(output, "o1\no2");
    add(errors, "e1\n");
    // o2 is still going on and already counted; its rest is logged.
    add(output, "+\no3\no4\n");
    add(errors, "e2");
    output.Finish();
    errors.Finish();
    EXPECT_EQ((Texts{ L"> o1", L"! e1", L"> o2+" }), texts);
    EXPECT_EQ(3u, budget.LeftOut());
}

TEST(WatchOptions, SettingsAndTheLinesTheyGive)
{
    struct Case {
        const wchar_t* capture;
        const wchar_t* timeout;
        bool shell;
        bool noWait;
        bool captured;
        unsigned long seconds;
        Texts notes;
    } cases[] = {
        { L"", L"", false, false, false, 0, {} },
        { L" Yes ", L"30", false, false, true, 30, {} },
        { L"on", L" 007 ", false, false, true, 7, {} },
        // Only true words capture; other values say nothing.
        { L"no", L"", false, false, false, 0, {} },
        { L"y", L"", false, false, false, 0, {} },
        { L"", L"99999999999", false, false, false, ULONG_MAX, {} },
        { L"", L"0", false, false, false, 0, { L"TimeoutSeconds [0] is not a positive whole number: no time limit" } },
        { L"", L"-5", false, false, false, 0, { L"TimeoutSeconds [-5] is not a positive whole number: no time limit" } },
        { L"", L"1.5", false, false, false, 0, { L"TimeoutSeconds [1.5] is not a positive whole number: no time limit" } },
        { L"", L"+5", false, false, false, 0, { L"TimeoutSeconds [+5] is not a positive whole number: no time limit" } },
        { L"", L"5s", false, false, false, 0, { L"TimeoutSeconds [5s] is not a positive whole number: no time limit" } },
        { L"", L" ", false, false, false, 0, { L"TimeoutSeconds [ ] is not a positive whole number: no time limit" } },
        { L"1", L"10", false, true, false, 0,
          { L"CaptureOutput is ignored with NoWaiting", L"TimeoutSeconds is ignored with NoWaiting" } },
        { L"true", L"10", true, true, false, 0,
          { L"CaptureOutput is ignored with UseShellExecute", L"TimeoutSeconds is ignored with UseShellExecute" } },
        { L"false", L"x", true, false, false, 0,
          { L"TimeoutSeconds [x] is not a positive whole number: no time limit" } },
    };
    for (const Case& c : cases) {
        const WatchOptions options = ReadWatchOptions(c.capture, c.timeout, c.shell, c.noWait);
        const std::string why = Narrow(c.capture) + "/" + Narrow(c.timeout);
        EXPECT_EQ(c.captured, options.capture) << why;
        EXPECT_EQ(c.shell || c.noWait ? 0 : c.seconds, options.timeoutSeconds) << why;
        EXPECT_EQ(c.notes, options.notes) << why;
    }
}
