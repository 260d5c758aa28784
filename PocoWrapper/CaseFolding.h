#pragma once
// Lower-casing a text where it stands (toLower of String.h without making a
// new string), for lookups that fold many identifiers one after another.
#include <string>

namespace PocoWrapper {

void lowerInPlace(std::wstring& text);

} // namespace PocoWrapper
