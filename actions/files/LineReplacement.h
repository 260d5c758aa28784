#pragma once
// Replacement inside one line of a file, done on the line's bytes.
//
// For a line in UTF-8 this gives exactly what decoding the line, replacing
// in the wide text and encoding it again gives: a UTF-8 search text can only
// match on character boundaries. A line in any other encoding (a file saved
// in a Windows code page) keeps its bytes; the texts are matched and
// replaced in their UTF-8 form.
#include <string>

// Replaces every occurrence of `from` (not empty) in one left-to-right pass,
// continuing after each match; inserted text is never searched again.
// Returns how many occurrences were replaced.
size_t ReplaceAllInLine(std::string& line, const std::string& from, const std::string& to);

// The UTF-8 form of a text, every character kept (a NUL does not end it).
std::string LineText(const std::wstring& text);
