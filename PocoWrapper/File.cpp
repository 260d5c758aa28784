#include "File.h"

#include <Poco/Exception.h>

#include "ExceptionReport.h"
#include "String.h"
#include "log/InstallLog.h"

namespace PocoWrapper {

namespace {
const std::string kExtendedNode = "?";
const std::string kUnc = "UNC";
// The node of an extended network path, before the server name.
const std::string kUncNodePrefix = kExtendedNode + "\\" + kUnc + "\\";
// How an extended-length path starts in its string form.
const std::string kExtendedPrefix = "\\\\" + kExtendedNode + "\\";

void reportFailure(const char* where, const Poco::Exception& e)
{
    InstallLog::Error(std::string("Poco exception caught in File::") + where);
    ReportPocoException(e, InstallLogLogger::GetInstallLogLogger());
}
}

std::string toExtendedLengthPath(const Poco::Path& path)
{
    Poco::Path extended(path);
    if (extended.isAbsolute()) {
        if (!extended.getNode().empty()) {
            if (extended.getNode() != kExtendedNode)
                extended.setNode(kUncNodePrefix + extended.getNode());
        } else if (!extended.getDevice().empty()) {
            extended.setNode(kExtendedNode + "\\" + extended.getDevice() + ":");
        }
        // Rooted on the current drive (\a\b): there is no volume to name, and
        // \\?\a\b would point nowhere, so the path stays as it is.
    }
    return extended.toString(Poco::Path::PATH_WINDOWS);
}

std::string toExtendedLengthPath(const std::wstring& path)
{
    return toExtendedLengthPath(Poco::Path(toUtf8(path), Poco::Path::PATH_WINDOWS));
}

std::string toExtendedLengthPath(const wchar_t* path)
{
    return toExtendedLengthPath(std::wstring(path));
}

std::wstring toExtendedLengthPathW(const std::wstring& path)
{
    try {
        return toWide(toExtendedLengthPath(path));
    } catch (const Poco::Exception&) {
        return path;
    }
}

std::string fromExtendedLengthPath(const std::string& path)
{
    Poco::Path parsed(path, Poco::Path::PATH_WINDOWS);
    if (!parsed.isAbsolute() || parsed.getNode() != kExtendedNode)
        return path;
    std::string text = parsed.toString(Poco::Path::PATH_WINDOWS);
    if (parsed.depth() >= 2 && parsed[0] == kUnc) {
        const std::string::size_type at = text.find(kUncNodePrefix);
        if (at != std::string::npos)
            text.erase(at, kUncNodePrefix.size());
        return text;
    }
    const std::string::size_type at = text.find(kExtendedPrefix);
    if (at != std::string::npos)
        return text.substr(at + kExtendedPrefix.size());
    parsed.setNode(std::string());
    return parsed.toString(Poco::Path::PATH_WINDOWS);
}

File::File(const std::wstring& path) : Poco::File(toExtendedLengthPath(path)) {}

File::File(const wchar_t* path) : Poco::File(toExtendedLengthPath(path)) {}

File::File(const Poco::Path& path) : Poco::File(toExtendedLengthPath(path)) {}

File::~File() {}

void File::copyTo(const std::wstring& destination) const
{
    Poco::File::copyTo(toExtendedLengthPath(destination));
}

void File::moveTo(const std::wstring& destination)
{
    Poco::File::moveTo(toExtendedLengthPath(destination));
}

bool File::createDirectories()
{
    try {
        // Poco walks up the parents by parsing the path; it does that on the
        // plain form and extends long paths itself.
        Poco::File plain(fromExtendedLengthPath(path()));
        plain.createDirectories();
        return exists();
    } catch (const Poco::Exception& e) {
        reportFailure("createDirectories", e);
        return false;
    } catch (...) {
        return false;
    }
}

bool File::isFile() const
{
    try {
        return Poco::File::isFile();
    } catch (const Poco::FileNotFoundException&) {
        return false;
    } catch (const Poco::Exception& e) {
        reportFailure("isFile", e);
        return false;
    } catch (...) {
        return false;
    }
}

} // namespace PocoWrapper
