// EnsureFolderExists: creates a folder with all its missing parents before
// the host places files in it.
#include "core/Action.h"
#include "PocoWrapper/File.h"
#include "PocoWrapper/Path.h"

#include "NormalizePath.h"
#include "ShellArgumentNames.h"

VERRAND_ACTION(EnsureFolderExists)
{
    const std::wstring folder = NormalizePath(*context->GetArg(ShellArgumentNames::FolderName));
    context->Log(LogLevelInfo, L"Creating folder: " + folder);

    // Only existence counts afterwards: a file of that name satisfies it too.
    PocoWrapper::Path path(folder);
    PocoWrapper::File file(path);
    if (file.createDirectories())
        return ActionDone;
    context->Log(LogLevelError, L"Couldn't create folder: " + folder);
    return ActionFailed;
}
