#pragma once
#include <string>

// Canonical form of a path, with forward slashes: backslashes become "/",
// runs of separators collapse to one, a trailing separator goes and leading
// separators stay. Pieces stay exactly as given: blanks are part of a name
// (a piece that Windows would read as another is for PathRules to refuse).
// A text without
// any piece (empty, or separators only) comes back with its backslashes
// turned into "/" and nothing else changed.
std::wstring NormalizePath(const std::wstring& path);

// The same text with every "/" turned into a backslash.
std::wstring ToBackslashForm(const std::wstring& path);
