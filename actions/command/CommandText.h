#pragma once
// Text rules shared by the command actions: their number reader, their
// narrow yes-word test and the two list formats of their arguments.
#include <string>
#include <vector>

// Reads a decimal int after optional leading white space, stopping at the
// first character that does not belong to the number ("12abc" gives 12).
// Returns false, leaving value untouched, when the text does not begin with a
// number or the number does not fit an int.
bool StringToInt(const std::wstring& text, int& value);

// A code of a ReturnCodesSet entry: the whole entry, blanks (spaces) trimmed,
// is a decimal int: an optional sign and digits only ("0x5", "5th", "1e3",
// "" and "+" are not codes). False, leaving code untouched, otherwise.
bool ReadReturnCode(const std::wstring& entry, int& code);

// "true", "yes" or "1" without regard to case; nothing is trimmed.
bool IsYesWord(const std::wstring& value);

// Transaction kinds separated by "|"; empty pieces are dropped, nothing is
// trimmed.
std::vector<std::wstring> SplitTransactionKinds(const std::wstring& text);

// Codes or values separated by ";". Each piece loses its surrounding blanks
// (spaces only). Empty pieces between two ";" keep their place; the text after
// the last ";" is a piece only when it is not empty before trimming.
std::vector<std::wstring> SplitCodeList(const std::wstring& text);

// The exit codes of SuccessCodes: ReturnCodesSet entries separated by ";",
// every one a code (a ";" at the end is allowed). False, leaving codes
// untouched, for an empty list or an entry that is not a code.
bool ReadSuccessCodes(const std::wstring& text, std::vector<int>& codes);

// True when the secret holds a character that splits a command's arguments
// (a blank, a tab, ";", "=" or ",") and stands somewhere in the command line
// outside double quotes (a quote after an odd number of backslashes is no
// quote), where the command may take it apart into pieces.
bool SecretStandsUnquoted(const std::wstring& commandLine, const std::wstring& secret);
