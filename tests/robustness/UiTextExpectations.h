#pragma once
// What loading a uitext file must write to the install log, worked out
// from the file's bytes with the same XML parser: the lines of the first
// problem that ends the load, or of a load that succeeds, in order.
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "support/InstallLogRecorder.h"
#include "uitext/StringMap.h"

struct ExpectedLine {
    int priority; // Poco::Message priority
    std::string text;
};

struct UiTextExpectation {
    bool loads;                       // a map comes back
    std::vector<ExpectedLine> lines;  // starting with "Parsing file: "
    std::size_t strings;              // string elements of a file that loads
    // What a file that loads maps each folded identifier to, worked out
    // from the parse tree.
    boost::shared_ptr<StringMap> map;
};

// tooDeepAt: where the first element nested deeper than the loader takes
// begins, if the file has one (the file's builder knows).
UiTextExpectation ExpectUiTextLoad(const std::string& bytes, const std::wstring& path, const std::wstring& language,
                                   std::size_t tooDeepAt = std::string::npos);

// Compares recorded install-log lines with the expected ones; an empty
// text when they agree, else what differs.
std::string CompareLines(const std::vector<ExpectedLine>& expected, const std::vector<InstallLogLine>& recorded);
