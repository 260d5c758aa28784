#include "Path.h"

#include "String.h"

namespace PocoWrapper {

Path::Path(const std::wstring& path) : Poco::Path(toUtf8(path)) {}

std::wstring Path::toString() const
{
    return toWide(Poco::Path::toString());
}

std::wstring Path::toString(Poco::Path::Style style) const
{
    return toWide(Poco::Path::toString(style));
}

Path& Path::makeFile()
{
    Poco::Path::makeFile();
    return *this;
}

} // namespace PocoWrapper
