#pragma once
// The #identifier# formatting rules written out plainly, as a yardstick for
// generated inputs: what formatting a text must give and which install-log
// lines it must write, as long as the result stays below the cap on one
// call's output. It has no cap of its own; it gives up instead once its
// result passes a limit.
#include <map>
#include <string>
#include <vector>

#include "UiTextExpectations.h"

class FormatterModel {
public:
    typedef std::map<std::wstring, std::wstring> Strings; // lower-cased identifier -> text

    // strings: what the library holds; loaded false models a library
    // without strings (every lookup warns).
    FormatterModel(const Strings& strings, bool loaded, std::size_t giveUpAfter);

    // False when the result passed giveUpAfter characters; text and lines
    // are then incomplete.
    bool Format(const std::wstring& text, std::wstring& result);

    const std::vector<ExpectedLine>& Lines() const { return m_lines; }

private:
    bool format(const std::wstring& text, int depth, std::wstring& result);
    bool lookup(const std::wstring& id, std::wstring& text);

    const Strings& m_strings;
    bool m_loaded;
    std::size_t m_giveUpAfter;
    std::vector<ExpectedLine> m_lines;
};

// The longest result one formatting call may build by substitution.
const std::size_t kFormattedLengthCap = 1048576;
