#pragma once
// Poco::Path on wide strings.
#include <string>

#include <Poco/Path.h>

namespace PocoWrapper {

class Path : public Poco::Path {
public:
    // Parsed in the native (Windows) style.
    explicit Path(const std::wstring& path);

    std::wstring toString() const;
    std::wstring toString(Poco::Path::Style style) const;
    Path& makeFile();
};

} // namespace PocoWrapper
