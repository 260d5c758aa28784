#include "CustomActionData.h"

namespace {
// Adds one piece; the reason it is refused otherwise.
const wchar_t* addPair(CustomActionArguments& arguments, const std::wstring& piece)
{
    if (piece.empty())
        return 0;
    const std::wstring::size_type equals = piece.find(L'=');
    if (equals == std::wstring::npos)
        return L"has no \"=\"";
    if (equals == 0)
        return L"has an empty name";
    if (!arguments.insert(std::make_pair(piece.substr(0, equals), piece.substr(equals + 1))).second)
        return L"names an argument an earlier piece named";
    return 0;
}
}

bool ParseCustomActionData(const std::wstring& text, CustomActionArguments& arguments, std::wstring& refusal)
{
    CustomActionArguments read;
    std::wstring piece;
    unsigned long place = 1;
    for (std::wstring::size_type i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != L';') {
            piece += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == L';') {
            piece += L';';
            ++i;
        } else {
            if (const wchar_t* why = addPair(read, piece)) {
                refusal = L"CustomActionData piece " + std::to_wstring(place) + L" " + why +
                          L"; the action is not run";
                return false;
            }
            piece.clear();
            ++place;
        }
    }
    arguments.swap(read);
    return true;
}

namespace {
void appendEscaped(std::wstring& text, const std::wstring& piece)
{
    for (wchar_t c : piece) {
        text += c;
        if (c == L';')
            text += L';';
    }
}
}

std::wstring CustomActionDataText(const CustomActionArguments& arguments)
{
    std::wstring text;
    for (CustomActionArguments::const_iterator it = arguments.begin(); it != arguments.end(); ++it) {
        if (!text.empty())
            text += L';';
        appendEscaped(text, it->first);
        text += L'=';
        appendEscaped(text, it->second);
    }
    return text;
}
