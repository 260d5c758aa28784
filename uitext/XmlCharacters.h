#pragma once
// The XML parser's own character classes, so that a hand-written pass over
// a uitext file reads a name, an attribute or a blank exactly as the parser
// does.
#include <rapidxml/rapidxml.hpp>

namespace XmlCharacters {
typedef rapidxml::internal::lookup_tables<0> Tables;

inline bool isWhitespace(char ch)
{
    return Tables::lookup_whitespace[static_cast<unsigned char>(ch)] != 0;
}

inline bool isNameChar(char ch)
{
    return Tables::lookup_node_name[static_cast<unsigned char>(ch)] != 0;
}

inline bool isAttributeNameChar(char ch)
{
    return Tables::lookup_attribute_name[static_cast<unsigned char>(ch)] != 0;
}
}
