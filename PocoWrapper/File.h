#pragma once
// Poco::File on wide paths. Every path is kept in its extended-length form
// (\\?\C:\..., \\?\UNC\server\...), so paths longer than MAX_PATH work.
#include <string>

#include <Poco/File.h>
#include <Poco/Path.h>

namespace PocoWrapper {

// The extended-length form of an absolute drive or network path, as UTF-8.
// Relative paths, paths rooted without a drive and paths already in the
// extended form are returned in Poco's Windows string form.
std::string toExtendedLengthPath(const std::wstring& path);
std::string toExtendedLengthPath(const wchar_t* path);
std::string toExtendedLengthPath(const Poco::Path& path);
// The same, wide, for Win32 calls: both separators are understood. A path
// that Poco cannot parse is returned as it is, for the system to judge.
std::wstring toExtendedLengthPathW(const std::wstring& path);
// The inverse: \\?\C:\a gives C:\a, \\?\UNC\srv\share\a gives \\srv\share\a;
// any other path is returned as it is.
std::string fromExtendedLengthPath(const std::string& path);

class File : public Poco::File {
public:
    explicit File(const std::wstring& path);
    explicit File(const wchar_t* path);
    explicit File(const Poco::Path& path);
    virtual ~File();

    // Poco's copy and move, with the destination in the extended form too.
    // Poco exceptions pass to the caller.
    void copyTo(const std::wstring& destination) const;
    void moveTo(const std::wstring& destination);

    // Creates the folder and its missing parents; true when it exists
    // afterwards. Failures go to the install log and give false.
    bool createDirectories();
    // False for a missing file (silently) and on any failure (logged).
    bool isFile() const;
};

} // namespace PocoWrapper
