#pragma once
// The attribute bit mask of a text replacement: how the replacement text is
// prepared before it goes into the file, and which text the log masks.
#include <string>

enum ReplacementAttribute {
    AttributeBackslashToSlash = 0x02,
    AttributeDropTrailingBackslash = 0x04,
    AttributeXmlEscape = 0x08,
    AttributeMaskReplacementInLog = 0x10,
    AttributeMaskSearchInLog = 0x20,
    AttributeDoubleApostrophes = 0x40,
};

// Decimal, read like wcstol base 10: leading blanks and a sign are accepted,
// reading stops at the first non-digit, no digits give 0.
long ParseAttributeValue(const std::wstring& text);

// Applies the bits that change the replacement text, in the order 0x40,
// 0x04, 0x02, 0x08; other bits are ignored.
std::wstring PrepareReplacement(const std::wstring& replacement, long attributes);
