#pragma once
// A command's captured output, turned into log lines: the bytes of one
// stream are cut into lines, masked, decoded, masked again as text and, when
// long, cut in pieces. No Win32 handle is involved, so the rules can be
// tested on bytes. The command runner and the host's JSON output both use it.
#include <cstddef>
#include <functional>
#include <string>

#include "core/SecretMask.h"

namespace CommandOutput {
// The longest text one log line carries; longer lines go out in pieces.
const std::size_t kPieceCharacters = 8192;
// Log lines (pieces included) of one attempt that are logged; later lines
// are only counted.
const unsigned long kLoggedLines = 100000;
// Undecoded bytes of a line kept before they are decoded: a line without an
// end is decoded in chunks of about this size, so memory stays flat.
const std::size_t kChunkBytes = 32768;
}

// The code pages a command's text output may be in when it is not UTF-8:
// the one expected, and another one it may be in as well (0 when the
// expected one is certain).
struct OutputCodePages {
    unsigned expected;
    unsigned other;
};

// What a child started with its output on pipes writes in: a hidden child
// gets a console of its own (the OEM code page), a shown one shares ours;
// a shown one started where we have no console gets a new console on
// Windows (OEM) but none under Wine, where console programs then write in
// the ANSI code page: both are possible.
OutputCodePages ChildOutputCodePages(bool hidden);

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF, no cut sequence).
bool IsValidUtf8(const char* bytes, std::size_t size);

// How many bytes at the end of a text start a UTF-8 sequence that is not
// complete yet (0 to 3); 0 when the last bytes cannot begin one.
std::size_t IncompleteUtf8Tail(const char* bytes, std::size_t size);

// One line's bytes as text, decoded by what they are: UTF-8 when they are
// valid UTF-8; otherwise in the expected code page, or in the other one when
// that reads as more letters. In a single-byte code page the line's valid
// UTF-8 sequences still read as UTF-8, so one stray byte does not spoil a
// UTF-8 line. NUL characters become U+FFFD; everything else (tabs included)
// is kept. The text is appended to `text`.
void DecodeOutputLine(const char* bytes, std::size_t size, OutputCodePages codePages, std::wstring& text);

// The log lines both streams of one attempt may give, and how many of the
// command's lines were left out of the log (wholly or in part).
class LineBudget {
public:
    explicit LineBudget(unsigned long limit = CommandOutput::kLoggedLines);
    // True while a log line may go out; it is counted.
    bool Take();
    bool Spent() const { return m_left == 0; }
    void LeaveOut() { ++m_leftOut; }
    unsigned long LeftOut() const { return m_leftOut; }

private:
    unsigned long m_left;
    unsigned long m_leftOut;
};

// Turns the bytes of one stream into log texts. A stream that begins with
// the UTF-16LE byte-order mark, or with an ASCII character in UTF-16LE (a
// NUL after it), is read as UTF-16LE; any other as bytes. "\r\n", "\n" and a
// lone "\r" end a line (a "\r\n" split between two reads still ends one
// line). Each line is masked as a whole, in its bytes before it is decoded
// and in its text after, then handed to the sink in pieces of at most
// kPieceCharacters characters; an empty line is one empty text.
class OutputLines {
public:
    typedef std::function<void(const std::wstring&)> Sink;

    OutputLines(const SecretMask& mask, OutputCodePages codePages, LineBudget& budget, const Sink& sink);

    void Add(const char* bytes, std::size_t size);
    // The end of the stream: a last line without a line end is logged too.
    void Finish();

private:
    enum Encoding { Undecided, Bytes, Utf16 };

    void addDecided(const char* bytes, std::size_t size);
    template <class Unit>
    void split(const Unit* units, std::size_t size);
    void append(const char* bytes, std::size_t size);
    void append(const wchar_t* units, std::size_t size);
    void endLine();
    void decode(bool lineEnded);
    void mask(bool lineEnded);
    void emit(std::size_t characters);

    const SecretMask& m_mask;
    OutputCodePages m_codePages;
    LineBudget& m_budget;
    Sink m_sink;

    Encoding m_encoding;
    std::string m_head;     // the stream's first bytes until its encoding is known; a UTF-16 unit's first byte
    std::wstring m_units;   // UTF-16 units of one read
    bool m_inLine;          // bytes of the current line have arrived
    bool m_cut;             // a piece of the current line was left out
    bool m_afterReturn;     // the last line ended with "\r": a "\n" next ends nothing
    bool m_emitted;         // a piece of the current line went out already
    std::string m_bytes;    // bytes of the current line not masked yet
    std::string m_clean;    // masked bytes not decoded yet
    std::wstring m_text;    // decoded text not masked yet
    std::wstring m_masked;  // masked text not logged yet
};
