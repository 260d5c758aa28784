#pragma once
// Replaces #identifier# references in a text by their texts from a string
// library, formatting each substituted text again the same way.
#include <string>

#include <boost/shared_ptr.hpp>

#include "IStringLibrary.h"

// How identifiers are written and resolved. Owned through a pointer to the
// concrete class only, so it has no virtual destructor.
class IParamLookupMechanism {
public:
    virtual bool Lookup(const std::wstring& id, std::wstring& text, std::wstring& libraryName) = 0;
    virtual wchar_t IdentifierStart() = 0;
    virtual wchar_t IdentifierEnd() = 0;
    // What replaces an identifier that was not found; token includes both
    // delimiters.
    virtual std::wstring NotFoundText(const std::wstring& token) = 0;
    virtual bool IsIdentifierChar(const wchar_t& ch) = 0;

protected:
    ~IParamLookupMechanism() {}
};

// The longest result one formatting call builds by substitution. The
// identifier whose text would take the result past it is kept as written and
// the rest of the text is left unformatted, so texts that refer to each
// other several times cannot blow up exponentially.
const std::wstring::size_type MaxFormattedLength = 1048576;

// Formats text from library with the default depth budget of 5: up to five
// levels of nested identifiers are resolved, the sixth is inserted raw.
std::wstring BasicFormatString(const std::wstring& text, boost::shared_ptr<IStringLibrary> library);

// One formatting call with the given budget; below 0 the text is returned
// unformatted.
std::wstring DoBasicFormatString(const std::wstring& text, const boost::shared_ptr<IParamLookupMechanism>& mechanism,
                                 int depth);
