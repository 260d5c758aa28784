#pragma once
// The argument text a package hands to a custom action in CustomActionData:
// Name=Value pairs separated by ";", where ";;" stands for a ";" inside a
// name or value and the first "=" of a pair ends its name.
#include <map>
#include <string>

typedef std::map<std::wstring, std::wstring> CustomActionArguments;

// Names are taken exactly as written (no trimming, case kept). Empty pieces
// (";" at either end, or two pairs separated by ";" and nothing) are skipped;
// a piece without "=" names an argument with an empty value. When a name
// appears twice, its first value counts.
CustomActionArguments ParseCustomActionData(const std::wstring& text);

// The text ParseCustomActionData reads back as exactly these arguments: each
// name and value with its ";" written ";;", pairs joined by ";". A name must
// hold no "=" (the first "=" of a pair ends its name).
std::wstring CustomActionDataText(const CustomActionArguments& arguments);
