#pragma once
#include <string>

// Answers what the text for an identifier is.
class IStringLibrary {
public:
    virtual ~IStringLibrary() {}
    // True and the text when the library holds id; false and an empty text
    // otherwise.
    virtual bool FindString(const std::wstring& id, std::wstring& text) = 0;
    virtual bool HasString(const std::wstring& id) = 0;
    // The library's name when it holds id, else the empty string.
    virtual std::wstring GetLibraryName(const std::wstring& id) = 0;
};
