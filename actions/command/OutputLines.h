#pragma once
// A command's captured output, turned into log lines: the bytes of one
// stream are cut into lines, each line decoded, masked and, when long, cut in
// pieces. No Win32 handle is involved, so the rules can be tested on bytes.
#include <cstddef>
#include <functional>
#include <string>

#include "SecretMask.h"

namespace CommandOutput {
// The longest text one log line carries; longer lines go out in pieces.
const std::size_t kPieceCharacters = 8192;
// Lines of one attempt that are logged; later ones are only counted.
const unsigned long kLoggedLines = 100000;
// Undecoded bytes of a line kept before they are decoded: a line without an
// end is decoded in chunks of about this size, so memory stays flat.
const std::size_t kChunkBytes = 32768;
}

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF, no cut sequence).
bool IsValidUtf8(const char* bytes, std::size_t size);

// How many bytes at the end of a text start a UTF-8 sequence that is not
// complete yet (0 to 3); 0 when the last bytes cannot begin one.
std::size_t IncompleteUtf8Tail(const char* bytes, std::size_t size);

// One line's bytes as text: UTF-8 when they are valid UTF-8, otherwise in
// the given code page. NUL characters become U+FFFD; everything else (tabs
// included) is kept.
std::wstring DecodeOutputLine(const char* bytes, std::size_t size, unsigned codePage);

// The lines both streams of one attempt may log, and how many were left out.
class LineBudget {
public:
    explicit LineBudget(unsigned long limit = CommandOutput::kLoggedLines);
    // True while the line may be logged; a refused line is counted.
    bool Take();
    unsigned long LeftOut() const { return m_leftOut; }

private:
    unsigned long m_left;
    unsigned long m_leftOut;
};

// Turns the bytes of one stream into log texts. "\r\n", "\n" and a lone "\r"
// end a line (a "\r\n" split between two reads still ends one line). Each
// line is masked as a whole, then handed to the sink in pieces of at most
// kPieceCharacters characters; an empty line is one empty text.
class OutputLines {
public:
    typedef std::function<void(const std::wstring&)> Sink;

    OutputLines(const SecretMask& mask, unsigned codePage, LineBudget& budget, const Sink& sink);

    void Add(const char* bytes, std::size_t size);
    // The end of the stream: a last line without a line end is logged too.
    void Finish();

private:
    void beginLine();
    void endLine();
    void decode(bool lineEnded);
    void mask(bool lineEnded);
    void emit(std::size_t characters);

    const SecretMask& m_mask;
    unsigned m_codePage;
    LineBudget& m_budget;
    Sink m_sink;

    bool m_inLine;          // bytes of the current line have arrived
    bool m_logged;          // the current line is logged (not left out)
    bool m_afterReturn;     // the last line ended with "\r": a "\n" next ends nothing
    bool m_emitted;         // a piece of the current line went out already
    std::string m_bytes;    // undecoded bytes of the current line
    std::wstring m_text;    // decoded text not masked yet
    std::wstring m_masked;  // masked text not logged yet
};
