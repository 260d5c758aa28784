#pragma once
// The argument text a package hands to a custom action in CustomActionData:
// Name=Value pairs separated by ";", where ";;" stands for a ";" inside a
// name or value and the first "=" of a pair ends its name.
#include <map>
#include <string>

typedef std::map<std::wstring, std::wstring> CustomActionArguments;

// Names are taken exactly as written (no trimming, case kept). Empty pieces
// (";" at either end) are skipped. A piece without "=", with an empty name,
// or naming an argument a piece before it named is refused: a value with a
// single ";" in it (a property holding one, say) would otherwise become
// arguments of its own. Then `refusal` names the piece by its place
// (counted from 1, empty pieces included), never by its text, which may be
// a secret, and the result is false.
bool ParseCustomActionData(const std::wstring& text, CustomActionArguments& arguments, std::wstring& refusal);

// The text ParseCustomActionData reads back as exactly these arguments: each
// name and value with its ";" written ";;", pairs joined by ";". A name must
// hold no "=" (the first "=" of a pair ends its name).
std::wstring CustomActionDataText(const CustomActionArguments& arguments);
