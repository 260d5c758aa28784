// The rules that turn a command's output bytes into log lines: line ends,
// decoding, masking, pieces and the line limit; and the reading of the two
// settings that ask for it.
#include <climits>

#include <gtest/gtest.h>

#include <windows.h>

#include "core/OutputLines.h"
#include "actions/command/WatchOptions.h"
#include "support/TestFiles.h"

namespace {
typedef std::vector<std::wstring> Texts;
typedef std::vector<std::string> Chunks;

// The texts one stream gives for the bytes, read in the chunks given.
Texts linesOf(const Chunks& chunks, const std::wstring& secret = L"", OutputCodePages codePages = { 1252, 0 },
              unsigned long budgetLines = CommandOutput::kLoggedLines, unsigned long* leftOut = 0)
{
    const SecretMask mask(secret, false);
    LineBudget budget(budgetLines);
    Texts texts;
    OutputLines lines(mask, codePages, budget, [&texts](const std::wstring& text) { texts.push_back(text); });
    for (const std::string& chunk : chunks)
        lines.Add(chunk.data(), chunk.size());
    lines.Finish();
    if (leftOut)
        *leftOut = budget.LeftOut();
    return texts;
}

// The text's bytes in a code page.
std::string bytesIn(unsigned codePage, const std::wstring& text)
{
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), 0, 0, 0, 0);
    std::string bytes(size, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, 0, 0);
    return bytes;
}

std::string utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
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

TEST(OutputLines, EachLineIsDecodedByWhatItsBytesAre)
{
    struct Case {
        const char* why;
        std::string bytes;
        OutputCodePages codePages;
        std::wstring line;
    } cases[] = {
        { "plain ASCII", "plain \ttext~", { 437, 0 }, L"plain \ttext~" },
        { "valid UTF-8", "caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80", { 1252, 0 }, L"caf\xE9 \x2713 \xD83D\xDE00" },
        { "OEM byte", "caf\x82", { 437, 0 }, L"caf\xE9" },
        // UTF-8 with one stray byte: the UTF-8 stays UTF-8.
        { "one bad byte spoils only itself", "p\xC3\xA4ssw\xC3\xB6rd \xE9", { 437, 0 }, L"p\xE4ssw\xF6rd \x398" },
        { "overlong form", "\xC0\xAF", { 1252, 0 }, L"\xC0\xAF" },
        { "surrogate", "\xED\xA0\x80", { 1252, 0 }, L"\xED\xA0\x20AC" },
        { "above U+10FFFF", "\xF4\x90\x80\x80", { 1252, 0 }, L"\xF4\x90\x20AC\x20AC" },
        { "cut sequence at the end", "ok\xE2\x9C", { 1252, 0 }, L"ok\xE2\x0153" },
        // Where either code page may be meant, the one that reads as letters.
        { "ANSI where OEM was expected", "p\xE4ssw\xF6rd", { 437, 1252 }, L"p\xE4ssw\xF6rd" },
        { "OEM where ANSI might be", "d\x82j\x85 vu", { 437, 1252 }, L"d\xE9j\xE0 vu" },
        { "a tie keeps the expected one", "\xB0", { 437, 1252 }, L"\x2591" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Texts{ c.line }, linesOf({ c.bytes }, L"", c.codePages)) << c.why;
        // The decoded line goes after what the text holds already.
        std::wstring text = L"held ";
        DecodeOutputLine(c.bytes.data(), c.bytes.size(), c.codePages, text);
        EXPECT_EQ(L"held " + c.line, text) << c.why << ", appended";
    }

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
    OutputLines output(mask, { 1252, 0 }, budget, [&texts](const std::wstring& text) { texts.push_back(L"> " + text); });
    OutputLines errors(mask, { 1252, 0 }, budget, [&texts](const std::wstring& text) { texts.push_back(L"! " + text); });
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

TEST(OutputLines, Utf16OutputIsReadAsText)
{
    const std::string text = utf16(L"my secretpw here\r\nna\xEFve \x2713\n\nlast");
    const Texts expected = { L"my ******** here", L"na\xEFve \x2713", L"", L"last" };
    // Recognised by the NUL after the first character, or by the mark.
    EXPECT_EQ(expected, linesOf({ text }, L"secretpw"));
    EXPECT_EQ(expected, linesOf({ "\xFF\xFE" + text }, L"secretpw"));
    // Units and line ends cut by the reads anywhere.
    EXPECT_EQ(expected, linesOf(byteByByte(text), L"secretpw"));
    // A stream that does not begin so is read as bytes.
    EXPECT_EQ((Texts{ L"ab", L"\xFFFD" L"c" }), linesOf({ std::string("ab\n\0c", 5) }));
    EXPECT_EQ((Texts{ L"a" }), linesOf({ "a" }));
}

TEST(OutputLines, EveryByteFormOfTheSecretIsMaskedBeforeDecoding)
{
    // Whatever code page the line is decoded in, no form of the secret shows.
    const std::wstring secret = L"p\xE4ssw\xF6rd";
    const std::string forms[] = { bytesIn(CP_UTF8, secret), bytesIn(GetACP(), secret), bytesIn(GetOEMCP(), secret),
                                  utf16(secret) };
    for (const std::string& form : forms) {
        for (unsigned codePage : { 437u, 850u, 1252u, 1251u }) {
            const std::string line = "key=" + form + " end";
            EXPECT_EQ(Texts{ L"key=******** end" }, linesOf({ line }, secret, { codePage, 0 })) << codePage;
            // Cut across a decoded chunk.
            const std::string before(CommandOutput::kChunkBytes - 3, 'a');
            EXPECT_EQ(std::wstring(before.begin(), before.end()) + L"******** end",
                      joined(linesOf({ before + form.substr(0, 4), form.substr(4) + " end" }, secret,
                                     { codePage, 0 })))
                << codePage;
        }
    }
}

// A program that converts a secret to a code page lacking some of its
// letters writes '?' or a best-fit letter in their place: no readable part
// of the secret may show around them. A secret the code page holds nothing
// of leaves only '?'s, which are no form of it.
TEST(OutputLines, TheFormsALossyConversionWritesAreMaskedToo)
{
    const std::wstring secret = L"Zq7\x0142w9Kx"; // U+0142 is in neither code page the runner masks here
    for (unsigned codePage : { GetACP(), GetOEMCP() }) {
        SCOPED_TRACE(codePage);
        const std::string bestFit = bytesIn(codePage, secret);
        std::string replaced(secret.size() * 2, '\0');
        replaced.resize(WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, secret.data(),
                                            static_cast<int>(secret.size()), &replaced[0],
                                            static_cast<int>(replaced.size()), 0, 0));
        ASSERT_NE(std::string::npos, replaced.find('?'));
        for (const std::string& form : { bestFit, replaced }) {
            EXPECT_EQ(Texts{ L"key=******** end" }, linesOf({ "key=" + form + " end" }, secret, { codePage, 0 }))
                << form;
        }
    }
    const std::wstring foreign = L"\x5BC6\x7801";
    EXPECT_EQ((Texts{ L"a ?? b", L"a ******** b" }),
              linesOf({ "a ?? b\n", "a " + bytesIn(CP_UTF8, foreign) + " b" }, foreign));
}

TEST(OutputLines, TheLineLimitCountsLoggedPieces)
{
    const size_t piece = CommandOutput::kPieceCharacters;
    struct Case {
        const char* why;
        std::string bytes;
        unsigned long budget;
        size_t logged;
        unsigned long leftOut;
    } cases[] = {
        { "one long line: its pieces count", std::string(5 * piece, 'x') + "\nnext\n", 3, 3, 2 },
        { "a line cut short counts as left out", std::string(2 * piece, 'x') + "\n", 1, 1, 1 },
        { "within the limit", "a\nb\n", 2, 2, 0 },
        { "empty lines count too", "\n\n\n", 1, 1, 2 },
    };
    for (const Case& c : cases) {
        unsigned long leftOut = 0;
        EXPECT_EQ(c.logged, linesOf({ c.bytes }, L"", { 1252, 0 }, c.budget, &leftOut).size()) << c.why;
        EXPECT_EQ(c.leftOut, leftOut) << c.why;
    }
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
        bool refused;
    } cases[] = {
        { L"", L"", false, false, false, 0, {}, false },
        { L" Yes ", L"30", false, false, true, 30, {}, false },
        { L"on", L" 007 ", false, false, true, 7, {}, false },
        // Only true words capture; other values say nothing.
        { L"no", L"", false, false, false, 0, {}, false },
        { L"y", L"", false, false, false, 0, {}, false },
        { L"", L"99999999999", false, false, false, ULONG_MAX, {}, false },
        // A limit that is not one refuses the command, whatever else is set.
        { L"", L"0", false, false, false, 0, {}, true },
        { L"", L"-5", false, false, false, 0, {}, true },
        { L"", L"abc", false, false, false, 0, {}, true },
        { L"", L"2 5", false, false, false, 0, {}, true },
        { L"", L"2.5", false, false, false, 0, {}, true },
        { L"", L"+2", false, false, false, 0, {}, true },
        { L"", L"30s", false, false, false, 0, {}, true },
        { L"", L" ", false, false, false, 0, {}, true },
        { L"false", L"x", true, false, false, 0, {}, true },
        { L"1", L"10", false, true, false, 0,
          { L"CaptureOutput is ignored with NoWaiting", L"TimeoutSeconds is ignored with NoWaiting" }, false },
        { L"true", L"10", true, true, false, 0,
          { L"CaptureOutput is ignored with UseShellExecute", L"TimeoutSeconds is ignored with UseShellExecute" },
          false },
    };
    for (const Case& c : cases) {
        const WatchOptions options = ReadWatchOptions(c.capture, c.timeout, c.shell, c.noWait);
        const std::string why = Narrow(c.capture) + "/" + Narrow(c.timeout);
        EXPECT_EQ(c.captured, options.capture) << why;
        EXPECT_EQ(c.shell || c.noWait ? 0 : c.seconds, options.timeoutSeconds) << why;
        EXPECT_EQ(c.notes, options.notes) << why;
        EXPECT_EQ(c.refused ? L"TimeoutSeconds [" + std::wstring(c.timeout) +
                                  L"] is not a whole number of seconds from 1 up; the command is not run"
                            : L"",
                  options.refusal)
            << why;
    }
}
