#include "CustomActionData.h"

namespace {
void addPair(CustomActionArguments& arguments, const std::wstring& piece)
{
    if (piece.empty())
        return;
    const std::wstring::size_type equals = piece.find(L'=');
    if (equals == std::wstring::npos)
        arguments.insert(std::make_pair(piece, std::wstring()));
    else
        arguments.insert(std::make_pair(piece.substr(0, equals), piece.substr(equals + 1)));
}
}

CustomActionArguments ParseCustomActionData(const std::wstring& text)
{
    CustomActionArguments arguments;
    std::wstring piece;
    for (std::wstring::size_type i = 0; i < text.size(); ++i) {
        if (text[i] != L';') {
            piece += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == L';') {
            piece += L';';
            ++i;
        } else {
            addPair(arguments, piece);
            piece.clear();
        }
    }
    addPair(arguments, piece);
    return arguments;
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
