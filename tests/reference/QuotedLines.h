#pragma once
// The log lines the reference quotes, against the text the code can write.
//
// A quoted line is a code span of the reference with a blank in it, outside
// the indented blocks of examples. Its fixed pieces are the texts between
// its placeholders (upper-case words such as PATH, FOLDER or N, numbers
// standing alone, "..."). The code writes a line as literals joined with
// the values it fills in, so a fixed piece must be a run of the code's
// literal text: within one literal, or the end of one, whole literals, and
// the beginning of another.
#include <string>
#include <vector>

// The code spans of a markdown text outside its indented blocks, each on
// one line (a span broken over lines gets a blank for the break).
std::vector<std::string> CodeSpans(const std::string& markdown);

// The fixed pieces of a quoted line that hold at least four characters other
// than blanks and punctuation.
std::vector<std::string> FixedPieces(const std::string& quoted);

// Whether a logged line is the quoted one, its placeholders standing for
// any text (an empty one too).
bool LineFits(const std::string& line, const std::string& quoted);

// The string literals of a source file (comments and preprocessor lines
// left out, adjacent literals joined, escapes decoded to UTF-8), each split
// at its printf-style specifiers.
std::vector<std::string> LiteralTexts(const std::string& source);

class LiteralText {
public:
    explicit LiteralText(const std::vector<std::string>& literals);

    // Whether text is a run of literal text, as the header says; a piece
    // taken from the end or the beginning of a literal has at least four
    // characters, a whole literal in between at least two.
    bool Holds(const std::string& text) const;

private:
    bool endsOne(const std::string& text) const;
    bool beginsOne(const std::string& text) const;

    std::vector<std::string> m_literals;
    // Every literal between two separators, for the searches.
    std::string m_joined;
};
