#pragma once
// The #identifier# formatting rules written out plainly, as a yardstick for
// generated inputs: what formatting a text must give and which install-log
// lines it must write, as long as the call stays below the caps on its
// output and its lookups. It has no caps of its own; it gives up instead
// and says why.
#include <map>
#include <string>
#include <vector>

#include "UiTextExpectations.h"

class FormatterModel {
public:
    typedef std::map<std::wstring, std::wstring> Strings; // lower-cased identifier -> text

    enum Outcome {
        Complete,
        TooLong,          // the result passed giveUpAfter characters
        TooManyLookups,   // more identifiers were looked up than one call may look up
        TooManyLines,     // more lines than the model keeps
    };

    // strings: what the library holds; loaded false models a library
    // without strings (every lookup warns).
    FormatterModel(const Strings& strings, bool loaded, std::size_t giveUpAfter);

    // The result and lines are complete only for Complete; otherwise they
    // are what came before the model gave up.
    Outcome Format(const std::wstring& text, std::wstring& result);

    const std::vector<ExpectedLine>& Lines() const { return m_lines; }

private:
    bool format(const std::wstring& text, int depth, std::wstring& result);
    bool lookup(const std::wstring& id, std::wstring& text);
    bool line(int priority, const std::string& text);

    const Strings& m_strings;
    bool m_loaded;
    std::size_t m_giveUpAfter;
    std::size_t m_lookups;
    Outcome m_outcome;
    std::vector<ExpectedLine> m_lines;
};

// The longest result one formatting call may build by substitution, and
// the most identifiers it may look up.
const std::size_t kFormattedLengthCap = 1048576;
const std::size_t kFormattingLookupCap = 1048576;
