#include "LineReplacement.h"

#include <algorithm>
#include <memory>

namespace {
// Pieces of a line gather up to at least this many units before they are
// searched, so that searching stays in proportion to the text.
const std::size_t kMinimumBatch = 4096;
}

template <class Unit>
ReplaceStage<Unit>::ReplaceStage(const std::vector<Unit>& search, const std::vector<Unit>& replacement,
                                 const LineUnits<Unit>& units, ReplacementReport& report, LineSink<Unit>& next)
    : m_search(search.data(), search.size()), m_replacement(replacement), m_units(units), m_report(report),
      m_next(next), m_reportsEveryLine(search.empty()),
      m_canMatch(!search.empty() && std::find(search.begin(), search.end(), units.lineFeed) == search.end()),
      m_endsWithReturn(!search.empty() && search.back() == units.carriageReturn),
      m_batch(std::max(2 * search.size(), kMinimumBatch)), m_count(0)
{
}

template <class Unit>
void ReplaceStage<Unit>::lines(const Unit* data, std::size_t size)
{
    const Unit* at = data;
    const Unit* const end = data + size;
    if (m_reportsEveryLine) {
        while (at != end) {
            const Unit* feed = FindUnit(at, end, m_units.lineFeed);
            m_report.lineDone(0);
            m_next.lines(at, feed + 1 - at);
            at = feed + 1;
        }
        return;
    }
    // Runs of lines without a match go on whole; only a line with a match
    // is taken apart. Each search runs on to the end of the run, so the
    // one that ends a line's matches has already found the next line's.
    const std::size_t length = m_search.size();
    for (const Unit* hit = m_canMatch ? findInLines(at, end) : 0; hit;) {
        const Unit* lineStart = FindLastUnit(at, hit, m_units.lineFeed);
        lineStart = lineStart ? lineStart + 1 : at;
        if (lineStart != at)
            m_next.lines(at, lineStart - at);
        const Unit* const feed = FindUnit(hit + length, end, m_units.lineFeed);
        at = lineStart;
        for (; hit && hit < feed; hit = findInLines(at, end)) {
            give(at, hit);
            replaced();
            at = hit + length;
        }
        endMatchedLine(at, feed);
        at = feed + 1;
    }
    if (at != end)
        m_next.lines(at, end - at);
}

// The first match in whole lines that lies in a line's text. A match cannot
// hold a line feed, so only a search text ending with a carriage return can
// reach into a line's ending.
template <class Unit>
const Unit* ReplaceStage<Unit>::findInLines(const Unit* begin, const Unit* end) const
{
    const Unit* hit = m_search.find(begin, end);
    while (hit && m_endsWithReturn && hit[m_search.size()] == m_units.lineFeed)
        hit = m_search.find(hit + 1, end);
    return hit;
}

// The rest of a line with matches, from after its last match to its line
// feed.
template <class Unit>
void ReplaceStage<Unit>::endMatchedLine(const Unit* at, const Unit* feed)
{
    const bool withReturn = feed != at && feed[-1] == m_units.carriageReturn;
    give(at, feed - withReturn);
    m_report.lineDone(m_count);
    m_count = 0;
    m_next.endLine(withReturn ? LineEnding::CarriageReturnLineFeed : LineEnding::LineFeed);
}

template <class Unit>
void ReplaceStage<Unit>::text(const Unit* data, std::size_t size)
{
    if (size == 0)
        return;
    if (!m_canMatch) {
        m_next.text(data, size);
        return;
    }
    if (size < m_batch) {
        m_pending.insert(m_pending.end(), data, data + size);
        if (m_pending.size() >= m_batch)
            scanPending(false);
        return;
    }
    // A large piece is searched where it lies. A match that begins in the
    // pending text ends within the first units of the piece.
    const std::size_t length = m_search.size();
    const Unit* at = data;
    if (!m_pending.empty()) {
        const std::size_t before = m_pending.size();
        m_pending.insert(m_pending.end(), data, data + (length - 1));
        const Unit* const begin = m_pending.data();
        const Unit* const end = begin + m_pending.size();
        const Unit* from = begin;
        for (const Unit* hit = m_search.find(from, end); hit && hit < begin + before;
             hit = m_search.find(from, end)) {
            give(from, hit);
            replaced();
            from = hit + length;
        }
        if (from < begin + before)
            give(from, begin + before);
        else
            at = data + (from - (begin + before));
        m_pending.clear();
    }
    scan(at, data + size, false);
}

// Replaces the matches in [begin, end) and gives the text on, keeping back
// the last units in which a match may begin unless the line ends there.
// m_pending is empty when this is called.
template <class Unit>
void ReplaceStage<Unit>::scan(const Unit* begin, const Unit* end, bool lineEnds)
{
    const std::size_t length = m_search.size();
    const Unit* at = begin;
    for (const Unit* hit = m_search.find(at, end); hit; hit = m_search.find(at, end)) {
        give(at, hit);
        replaced();
        at = hit + length;
    }
    const std::size_t keep = lineEnds ? 0 : std::min<std::size_t>(length - 1, end - at);
    give(at, end - keep);
    m_pending.assign(end - keep, end);
}

template <class Unit>
void ReplaceStage<Unit>::scanPending(bool lineEnds)
{
    m_scanning.swap(m_pending);
    m_pending.clear();
    scan(m_scanning.data(), m_scanning.data() + m_scanning.size(), lineEnds);
    m_scanning.clear();
}

template <class Unit>
void ReplaceStage<Unit>::endLine(LineEnding ending)
{
    if (!m_pending.empty())
        scanPending(true);
    if (m_reportsEveryLine || m_count > 0)
        m_report.lineDone(m_count);
    m_count = 0;
    m_next.endLine(ending);
}

template <class Unit>
void ReplaceStage<Unit>::give(const Unit* begin, const Unit* end)
{
    if (end != begin)
        m_next.text(begin, end - begin);
}

template <class Unit>
void ReplaceStage<Unit>::replaced()
{
    if (!m_replacement.empty())
        m_next.text(m_replacement.data(), m_replacement.size());
    ++m_count;
}

template <class Unit>
void PieceBuffer<Unit>::lines(const Unit* data, std::size_t size)
{
    const Piece piece = { Lines, m_data.size(), size, LineEnding::None };
    m_data.insert(m_data.end(), data, data + size);
    m_pieces.push_back(piece);
}

template <class Unit>
void PieceBuffer<Unit>::text(const Unit* data, std::size_t size)
{
    if (!m_pieces.empty() && m_pieces.back().kind == Text) {
        m_pieces.back().size += size;
    } else {
        const Piece piece = { Text, m_data.size(), size, LineEnding::None };
        m_pieces.push_back(piece);
    }
    m_data.insert(m_data.end(), data, data + size);
}

template <class Unit>
void PieceBuffer<Unit>::endLine(LineEnding ending)
{
    const Piece piece = { End, m_data.size(), 0, ending };
    m_pieces.push_back(piece);
}

template <class Unit>
void PieceBuffer<Unit>::replay(LineSink<Unit>& sink)
{
    for (const Piece& piece : m_pieces) {
        if (piece.kind == Lines)
            sink.lines(m_data.data() + piece.offset, piece.size);
        else if (piece.kind == Text)
            sink.text(m_data.data() + piece.offset, piece.size);
        else
            sink.endLine(piece.ending);
    }
    m_data.clear();
    m_pieces.clear();
}

template <class Unit>
ReplaceChain<Unit>::ReplaceChain(const std::vector<Entry>& entries, const LineUnits<Unit>& units,
                                 LineSink<Unit>& output)
    : m_units(units), m_output(output)
{
    for (std::size_t k = 0; k < entries.size(); ++k) {
        LineSink<Unit>& next = k + 1 == entries.size() ? output : m_between[k % 2];
        std::unique_ptr<ReplaceStage<Unit> > stage(
            new ReplaceStage<Unit>(entries[k].search, entries[k].replacement, units, *entries[k].report, next));
        m_stages.push_back(std::move(stage));
    }
}

template <class Unit>
void ReplaceChain<Unit>::lines(const Unit* data, std::size_t size)
{
    if (m_stages.size() <= 1) {
        if (m_stages.empty())
            m_output.lines(data, size);
        else
            m_stages[0]->lines(data, size);
        return;
    }
    for (const Unit* const end = data + size; data != end;) {
        const Unit* const next = FindUnit(data, end, m_units.lineFeed) + 1;
        m_stages[0]->lines(data, next - data);
        passOn();
        data = next;
    }
}

template <class Unit>
void ReplaceChain<Unit>::text(const Unit* data, std::size_t size)
{
    if (m_stages.empty()) {
        m_output.text(data, size);
        return;
    }
    m_stages[0]->text(data, size);
    passOn();
}

template <class Unit>
void ReplaceChain<Unit>::endLine(LineEnding ending)
{
    if (m_stages.empty()) {
        m_output.endLine(ending);
        return;
    }
    m_stages[0]->endLine(ending);
    passOn();
}

template <class Unit>
void ReplaceChain<Unit>::passOn()
{
    for (std::size_t k = 1; k < m_stages.size(); ++k)
        m_between[(k - 1) % 2].replay(*m_stages[k]);
}

template class ReplaceStage<unsigned char>;
template class ReplaceStage<unsigned short>;
template class PieceBuffer<unsigned char>;
template class PieceBuffer<unsigned short>;
template class ReplaceChain<unsigned char>;
template class ReplaceChain<unsigned short>;
