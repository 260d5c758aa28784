#pragma once
// A product's patch level from the installed revisions (dot-separated
// numbers such as 14.0.2.364) of the product and of its product family.
#include <string>

// "$du$" + identifier + "$installedrevision"
std::wstring InstalledRevisionPropertyName(const std::wstring& identifier);

// The token at 0-based index of the revision split at ".", empty tokens
// skipped; empty when there are fewer tokens.
std::wstring RevisionPart(const std::wstring& revision, unsigned index);

// Empty for an empty product revision; the product's patch token when the
// family has none; otherwise chosen from the product's minor and patch
// numbers and the family's patch number. The chosen token is returned as it
// stands. Poco::SyntaxException when a number needed is not decimal.
std::wstring ProductPatchLevel(const std::wstring& productRevision, const std::wstring& familyRevision);
