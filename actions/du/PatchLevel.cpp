#include "PatchLevel.h"

#include <boost/tokenizer.hpp>

#include "PocoWrapper/String.h"

std::wstring InstalledRevisionPropertyName(const std::wstring& identifier)
{
    return L"$du$" + identifier + L"$installedrevision";
}

std::wstring RevisionPart(const std::wstring& revision, unsigned index)
{
    typedef boost::tokenizer<boost::char_separator<wchar_t>, std::wstring::const_iterator, std::wstring> Tokens;
    const Tokens tokens(revision, boost::char_separator<wchar_t>(L"."));
    unsigned position = 0;
    for (Tokens::const_iterator token = tokens.begin(); token != tokens.end(); ++token, ++position) {
        if (position == index)
            return *token;
    }
    return std::wstring();
}

std::wstring ProductPatchLevel(const std::wstring& productRevision, const std::wstring& familyRevision)
{
    if (productRevision.empty())
        return std::wstring();
    const std::wstring minorText = RevisionPart(productRevision, 1);
    const std::wstring patchText = RevisionPart(productRevision, 2);
    const std::wstring familyPatchText = RevisionPart(familyRevision, 2);
    if (familyPatchText.empty())
        return patchText;

    const int minor = PocoWrapper::parse(minorText);
    const int patch = PocoWrapper::parse(patchText);
    const int familyPatch = PocoWrapper::parse(familyPatchText);
    if (minor > 0)
        return familyPatchText;
    if (patch == 0)
        return patchText;
    if (patch == 1)
        return familyPatch >= 1 ? familyPatchText : patchText;
    return familyPatchText;
}
