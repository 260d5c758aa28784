#pragma once
// Replacement of one entry's text in the lines of a file, as the lines
// stream past (see LineStream.h); the entries of a list are stages one
// after another, each working on what the one before left.
//
// Done on the file's code units. For a line in UTF-8 this gives exactly what
// decoding the line, replacing in the wide text and encoding it again gives:
// a UTF-8 search text can only match on character boundaries. A line in any
// other single-byte encoding keeps its bytes; the texts are matched and
// replaced in their UTF-8 form.
//
// Memory does not grow with the length of a line: a line is never held
// whole, only the last units of it that may begin a match which the next
// piece completes.
#include <cstddef>
#include <memory>
#include <vector>

#include "LineStream.h"
#include "TextSearch.h"

// Told about the lines in which a stage replaced something.
class ReplacementReport {
public:
    // Called once for each line, after its text went on and before its end
    // does, with the number of occurrences replaced in it; `count` 0 is
    // reported only for stages that report every line.
    virtual void lineDone(std::size_t count) = 0;

protected:
    ~ReplacementReport() {}
};

// One entry's replacement, giving the lines on to the next sink.
template <class Unit>
class ReplaceStage : public LineSink<Unit> {
public:
    // Every occurrence of `search` in a line's text is replaced by
    // `replacement`, left to right, continuing after each match (inserted
    // text is never searched again). An empty search text replaces nothing
    // and reports every line; a search text holding a line feed can never
    // match.
    ReplaceStage(const std::vector<Unit>& search, const std::vector<Unit>& replacement, const LineUnits<Unit>& units,
                 ReplacementReport& report, LineSink<Unit>& next);

    void lines(const Unit* data, std::size_t size);
    void text(const Unit* data, std::size_t size);
    void endLine(LineEnding ending);

private:
    const Unit* findInLines(const Unit* begin, const Unit* end) const;
    void endMatchedLine(const Unit* at, const Unit* feed);
    void scan(const Unit* begin, const Unit* end, bool lineEnds);
    void scanPending(bool lineEnds);
    void give(const Unit* begin, const Unit* end);
    void replaced();

    TextSearch<Unit> m_search;
    std::vector<Unit> m_replacement;
    LineUnits<Unit> m_units;
    ReplacementReport& m_report;
    LineSink<Unit>& m_next;
    bool m_reportsEveryLine;
    bool m_canMatch;
    bool m_endsWithReturn;
    // Received text of the current line not yet searched through or not yet
    // given on because a match may begin in it.
    std::vector<Unit> m_pending;
    std::vector<Unit> m_scanning;
    std::size_t m_batch; // pieces smaller than this gather in m_pending first
    std::size_t m_count; // occurrences replaced in the current line
};

// What a sink is given, kept for handing on later: the lines, texts and
// line ends in their order.
template <class Unit>
class PieceBuffer : public LineSink<Unit> {
public:
    void lines(const Unit* data, std::size_t size);
    void text(const Unit* data, std::size_t size);
    void endLine(LineEnding ending);
    // Hands everything to the sink and forgets it.
    void replay(LineSink<Unit>& sink);

private:
    enum Kind { Lines, Text, End };
    struct Piece {
        Kind kind;
        std::size_t offset;
        std::size_t size;
        LineEnding ending;
    };
    std::vector<Unit> m_data;
    std::vector<Piece> m_pieces;
};

// The entries of a list as stages, each working on what the one before
// left, the last giving the lines to `output`. However many entries there
// are, the stages are called one after another (never one from inside the
// other), a line at a time, so that each line's reports come in entry
// order; one entry works on whole runs of lines.
template <class Unit>
class ReplaceChain : public LineSink<Unit> {
public:
    struct Entry {
        std::vector<Unit> search;
        std::vector<Unit> replacement;
        ReplacementReport* report;
    };
    ReplaceChain(const std::vector<Entry>& entries, const LineUnits<Unit>& units, LineSink<Unit>& output);

    void lines(const Unit* data, std::size_t size);
    void text(const Unit* data, std::size_t size);
    void endLine(LineEnding ending);

private:
    // After the first stage was given something: the rest in turn.
    void passOn();

    LineUnits<Unit> m_units;
    LineSink<Unit>& m_output;
    std::vector<std::unique_ptr<ReplaceStage<Unit> > > m_stages;
    PieceBuffer<Unit> m_between[2]; // stage k gives into m_between[k % 2], unless it is the last
};
