#pragma once
#include <string>

// Canonical form of a path, with forward slashes: backslashes become "/",
// runs of separators collapse to one, blanks (U+0020 only) around each piece
// go, a trailing separator goes and leading separators stay. A text without
// any piece (empty, or separators only) comes back with its backslashes
// turned into "/" and nothing else changed.
std::wstring NormalizePath(const std::wstring& path);

// The same text with every "/" turned into a backslash.
std::wstring ToBackslashForm(const std::wstring& path);
