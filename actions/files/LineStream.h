#pragma once
// A text file as a stream of lines in its own code units, for editing
// without holding a line (let alone the file) in memory.
//
// Files in UTF-8 or any single-byte encoding are streamed as bytes; the
// edited file gets a line feed after every line, and a carriage return that
// ended a line is dropped. Files that begin with a UTF-16 byte-order mark
// (FF FE little-endian, FE FF big-endian) are streamed as 16-bit units in
// the file's byte order, and every line keeps the ending it had (carriage
// return and line feed, line feed, or none on the last line).
//
// A line's text never includes its ending: a carriage return directly
// before a line feed (or at the very end of the file) belongs to the ending.
#include <cstddef>
#include <string>
#include <vector>

class BufferedFileWriter;
class ChunkReader;

enum class TextEncoding { Bytes, Utf16LittleEndian, Utf16BigEndian };

enum class LineEnding { LineFeed, CarriageReturnLineFeed, CarriageReturn, None };

// The encoding a file's first bytes announce, and how many bytes of them
// are the byte-order mark.
TextEncoding DetectTextEncoding(const char* data, std::size_t size, std::size_t& markSize);

// Line feed and carriage return as they are stored in the file.
template <class Unit>
struct LineUnits {
    Unit lineFeed;
    Unit carriageReturn;
};
LineUnits<unsigned char> ByteLineUnits();
LineUnits<unsigned short> Utf16LineUnits(TextEncoding encoding);

// The units a text is stored as in a file of the given encoding: UTF-8 for
// Bytes (every character kept, a NUL does not end the text), else UTF-16
// in the file's byte order.
std::vector<unsigned char> ByteUnitsOf(const std::wstring& text);
std::vector<unsigned short> Utf16UnitsOf(const std::wstring& text, TextEncoding encoding);

// What receives the lines, in file order.
template <class Unit>
class LineSink {
public:
    // Whole lines exactly as the file holds them, the last one ended by a
    // line feed. Only ever given between lines.
    virtual void lines(const Unit* data, std::size_t size) = 0;
    // A piece of the current line's text.
    virtual void text(const Unit* data, std::size_t size) = 0;
    // The current line is complete.
    virtual void endLine(LineEnding ending) = 0;

protected:
    ~LineSink() {}
};

// Hands the units of a text, given a chunk at a time, to a sink: whole lines
// of a chunk in one run, the parts of a line that straddles chunks as pieces
// of its text. A carriage return at the end of a chunk waits for the next
// chunk to tell whether it ends the line.
template <class Unit>
class LineSplitter {
public:
    LineSplitter(const LineUnits<Unit>& units, LineSink<Unit>& sink);
    void chunk(const Unit* begin, const Unit* end);
    // The text is complete: ends a line that is still open.
    void finish();

private:
    void give(const Unit* begin, const Unit* end);

    LineUnits<Unit> m_units;
    LineSink<Unit>& m_sink;
    bool m_open;       // a line has begun and not ended
    bool m_heldReturn; // the open line's text so far ends with a held-back carriage return
};

// Streams the units of a file, whose first chunk `reader` holds, into a
// sink: whole lines in large runs, and the parts of lines that straddle a
// chunk boundary as pieces of text. `skip` bytes at the start (the
// byte-order mark) are left out. Returns the bytes of an incomplete last
// unit (an odd byte at the end of a UTF-16 file), which no line holds.
template <class Unit>
std::string StreamLines(ChunkReader& reader, std::size_t skip, const LineUnits<Unit>& units, LineSink<Unit>& sink);

// Writes lines to a file: with `keepEndings` each line ends as it did,
// else every line ends with a line feed alone.
template <class Unit>
class LineOutput : public LineSink<Unit> {
public:
    LineOutput(BufferedFileWriter& writer, const LineUnits<Unit>& units, bool keepEndings);

    void lines(const Unit* data, std::size_t size);
    void text(const Unit* data, std::size_t size);
    void endLine(LineEnding ending);

private:
    BufferedFileWriter& m_writer;
    LineUnits<Unit> m_units;
    bool m_keepEndings;
};
