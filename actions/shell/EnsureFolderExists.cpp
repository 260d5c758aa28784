// EnsureFolderExists: creates a folder with all its missing parents before
// the host places files in it.
#include <Poco/Exception.h>

#include "core/Action.h"
#include "core/PathRules.h"
#include "PocoWrapper/File.h"
#include "PocoWrapper/Path.h"

#include "NormalizePath.h"
#include "ShellArgumentNames.h"

namespace {
// A drive root is never created: it is there, or the drive is missing.
bool driveRootExists(const std::wstring& root)
{
    std::wstring path = ToBackslashForm(root);
    if (path[path.size() - 1] != L'\\')
        path += L'\\';
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
}

VERRAND_ACTION(EnsureFolderExists)
{
    const std::wstring folder = NormalizePath(*context->GetArg(ShellArgumentNames::FolderName));
    if (!AcceptPath(*context, ShellArgumentNames::FolderName, folder, CheckPath(folder)))
        return ActionFailed;
    context->Log(LogLevelInfo, L"Creating folder: " + folder);

    // Only existence counts afterwards: a file of that name satisfies it too.
    bool exists = false;
    if (IsDriveRoot(folder)) {
        exists = driveRootExists(folder);
    } else {
        try {
            PocoWrapper::Path path(folder);
            PocoWrapper::File file(path);
            exists = file.createDirectories();
        } catch (const Poco::Exception&) {
            // A path Poco cannot read (C:x) is a folder that cannot be made.
        }
    }
    if (exists)
        return ActionDone;
    context->Log(LogLevelError, L"Couldn't create folder: " + folder);
    return ActionFailed;
}
