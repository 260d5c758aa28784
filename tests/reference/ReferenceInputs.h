#pragma once
// What the reference tests read beside their program, listed by CMake: the
// reference, the .def file the library's exports come from, the library's
// sources, the example plans, and the other sources a line can come from.
#include <string>
#include <vector>

struct ReferenceInputs {
    std::string reference;
    std::string definitions;
    std::vector<std::string> sources;
    std::vector<std::string> plans;  // the example plans
    // The path rules, the sibling libraries and the tests.
    std::vector<std::string> otherSources;
};

ReferenceInputs ReadReferenceInputs();

// A file of the source tree by its Linux path; throws when it cannot be read.
std::string ReadSourceFile(const std::string& path);
