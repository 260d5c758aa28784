#include "LineStream.h"

#include <windows.h>

#include "LineFiles.h"
#include "PocoWrapper/String.h"
#include "TextSearch.h"

TextEncoding DetectTextEncoding(const char* data, std::size_t size, std::size_t& markSize)
{
    markSize = 0;
    if (size >= 2) {
        const unsigned char first = static_cast<unsigned char>(data[0]);
        const unsigned char second = static_cast<unsigned char>(data[1]);
        if (first == 0xFF && second == 0xFE) {
            markSize = 2;
            return TextEncoding::Utf16LittleEndian;
        }
        if (first == 0xFE && second == 0xFF) {
            markSize = 2;
            return TextEncoding::Utf16BigEndian;
        }
    }
    return TextEncoding::Bytes;
}

namespace {
// A 16-bit unit as a file of the encoding stores it, read back in this
// machine's (little-endian) order.
unsigned short stored(wchar_t unit, TextEncoding encoding)
{
    const unsigned short value = static_cast<unsigned short>(unit);
    return encoding == TextEncoding::Utf16BigEndian ? static_cast<unsigned short>((value >> 8) | (value << 8)) : value;
}
}

LineUnits<unsigned char> ByteLineUnits()
{
    const LineUnits<unsigned char> units = { '\n', '\r' };
    return units;
}

LineUnits<unsigned short> Utf16LineUnits(TextEncoding encoding)
{
    const LineUnits<unsigned short> units = { stored(L'\n', encoding), stored(L'\r', encoding) };
    return units;
}

std::vector<unsigned char> ByteUnitsOf(const std::wstring& text)
{
    const std::string bytes = PocoWrapper::toUtf8(text);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

std::vector<unsigned short> Utf16UnitsOf(const std::wstring& text, TextEncoding encoding)
{
    std::vector<unsigned short> units;
    units.reserve(text.size());
    for (wchar_t unit : text)
        units.push_back(stored(unit, encoding));
    return units;
}

template <class Unit>
LineSplitter<Unit>::LineSplitter(const LineUnits<Unit>& units, LineSink<Unit>& sink)
    : m_units(units), m_sink(sink), m_open(false), m_heldReturn(false)
{
}

template <class Unit>
void LineSplitter<Unit>::chunk(const Unit* at, const Unit* end)
{
    if (at == end)
        return;
    if (m_heldReturn) {
        m_heldReturn = false;
        if (*at == m_units.lineFeed) {
            m_sink.endLine(LineEnding::CarriageReturnLineFeed);
            m_open = false;
            ++at;
        } else {
            m_sink.text(&m_units.carriageReturn, 1);
        }
    }
    if (m_open) {
        const Unit* feed = FindUnit(at, end, m_units.lineFeed);
        if (!feed) {
            give(at, end);
            return;
        }
        const bool withReturn = feed != at && feed[-1] == m_units.carriageReturn;
        if (feed - withReturn != at)
            m_sink.text(at, feed - withReturn - at);
        m_sink.endLine(withReturn ? LineEnding::CarriageReturnLineFeed : LineEnding::LineFeed);
        m_open = false;
        at = feed + 1;
    }
    const Unit* lastFeed = FindLastUnit(at, end, m_units.lineFeed);
    if (lastFeed) {
        m_sink.lines(at, lastFeed + 1 - at);
        at = lastFeed + 1;
    }
    if (at != end) {
        m_open = true;
        give(at, end);
    }
}

template <class Unit>
void LineSplitter<Unit>::finish()
{
    if (m_heldReturn)
        m_sink.endLine(LineEnding::CarriageReturn);
    else if (m_open)
        m_sink.endLine(LineEnding::None);
    m_open = m_heldReturn = false;
}

// Text of the open line up to the end of a chunk.
template <class Unit>
void LineSplitter<Unit>::give(const Unit* at, const Unit* end)
{
    m_heldReturn = end[-1] == m_units.carriageReturn;
    if (end - m_heldReturn != at)
        m_sink.text(at, end - m_heldReturn - at);
}

template <class Unit>
std::string StreamLines(ChunkReader& reader, std::size_t skip, const LineUnits<Unit>& units, LineSink<Unit>& sink)
{
    LineSplitter<Unit> splitter(units, sink);
    std::size_t partial = 0; // bytes of an incomplete unit at the end of the chunk
    for (bool more = reader.size() > skip; more; more = reader.next(partial)) {
        const std::size_t size = reader.size() - skip;
        partial = size % sizeof(Unit);
        const Unit* begin = reinterpret_cast<const Unit*>(reader.data() + skip);
        splitter.chunk(begin, begin + size / sizeof(Unit));
        skip = 0;
    }
    splitter.finish();
    return std::string(reader.data() + reader.size() - partial, partial);
}

template <class Unit>
LineOutput<Unit>::LineOutput(BufferedFileWriter& writer, const LineUnits<Unit>& units, bool keepEndings)
    : m_writer(writer), m_units(units), m_keepEndings(keepEndings)
{
}

template <class Unit>
void LineOutput<Unit>::lines(const Unit* data, std::size_t size)
{
    const Unit* const end = data + size;
    if (!m_keepEndings) {
        // Leave out every carriage return that stands before a line feed.
        for (const Unit* cr = FindUnit(data, end, m_units.carriageReturn); cr;
             cr = FindUnit(cr + 1, end, m_units.carriageReturn)) {
            if (cr[1] != m_units.lineFeed)
                continue;
            text(data, cr - data);
            data = cr + 1;
        }
    }
    text(data, end - data);
}

template <class Unit>
void LineOutput<Unit>::text(const Unit* data, std::size_t size)
{
    m_writer.write(data, size * sizeof(Unit));
}

template <class Unit>
void LineOutput<Unit>::endLine(LineEnding ending)
{
    if (m_keepEndings && (ending == LineEnding::CarriageReturnLineFeed || ending == LineEnding::CarriageReturn))
        text(&m_units.carriageReturn, 1);
    if (!m_keepEndings || ending == LineEnding::CarriageReturnLineFeed || ending == LineEnding::LineFeed)
        text(&m_units.lineFeed, 1);
}

template std::string StreamLines(ChunkReader&, std::size_t, const LineUnits<unsigned char>&,
                                 LineSink<unsigned char>&);
template std::string StreamLines(ChunkReader&, std::size_t, const LineUnits<unsigned short>&,
                                 LineSink<unsigned short>&);
template class LineSplitter<unsigned char>;
template class LineSplitter<unsigned short>;
template class LineOutput<unsigned char>;
template class LineOutput<unsigned short>;
