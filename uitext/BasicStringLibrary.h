#pragma once
#include <string>

#include <boost/shared_ptr.hpp>

#include "IStringLibrary.h"
#include "StringMap.h"

// The strings of one uitext file, named after the file. A file that is
// missing or cannot be used leaves the library without strings; every lookup
// then fails with a warning in the install log.
class BasicStringLibrary : public IStringLibrary {
public:
    BasicStringLibrary(const std::wstring& uiTextPath, const std::wstring& language);

    bool FindString(const std::wstring& id, std::wstring& text);
    bool HasString(const std::wstring& id);
    std::wstring GetLibraryName(const std::wstring& id);

    // The text stored for the identifier of `length` units at `id` (looked
    // up by its folded form), or false; warns when no strings were loaded.
    // FindString's lookup, without a copy of the identifier or the text.
    bool Find(const wchar_t* id, std::size_t length, StoredText& text);

private:

    boost::shared_ptr<StringMap> m_strings;
    std::wstring m_key; // the folded identifier of the last lookup
    std::wstring m_name;
};
