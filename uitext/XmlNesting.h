#pragma once
// How deeply the elements of an XML text nest, found before the recursive
// parser sees the text: it descends one level of the calling thread's stack
// per nested element, so a file of a few hundred thousand nested elements
// would overflow the stack and end the process.
#include <cstddef>

// More nested elements than any string file needs, and few enough to fit
// in the stack of any thread that calls the loader.
const std::size_t MaxXmlNesting = 256;

// Where the first element that would lie deeper than maxNesting begins
// (its "<"), or null when none does. Comments, processing instructions,
// CDATA sections, DOCTYPE declarations and quoted attribute values are
// skipped as the parser skips them. On text that is not well formed the
// depth may be overestimated, never underestimated; the parser turns such
// text down anyway. text ends with a zero byte.
const char* FindTooDeepElement(const char* text, std::size_t maxNesting);
