#include "StateFolderEntry.h"

#include "core/PackageStepNames.h"
#include "core/PathRules.h"
#include "core/RollbackState.h"

#include "CustomActionEntry.h"

namespace {
std::wstring withError(const std::wstring& text, DWORD error)
{
    return text + L" (error " + std::to_wstring(error) + L")";
}
}

int __stdcall ForgetStateFolder(boost::shared_ptr<IActionContext> context)
{
    const std::wstring argument = PackageStepNames::StateFolderArgument;
    const std::wstring folder = *context->GetArg(argument);
    if (!AcceptPath(*context, argument, folder, CheckTarget(folder)))
        return ActionFailed;
    const bool emptiedOnly = *context->GetArg(PackageStepNames::EmptiedOnlyArgument) == L"1";
    std::wstring failed;
    DWORD error = 0;
    switch (emptiedOnly ? RemoveEmptiedStateFolder(folder, failed, error) : RemoveStateFolder(folder, failed, error)) {
    case StateFolderRemoved:
        context->Log(LogLevelInfo, L"Removed the state folder " + folder);
        return ActionDone;
    case StateFolderMissing:
        context->Log(LogLevelInfo, L"No state folder at " + folder + L": nothing to remove");
        return ActionDone;
    case StateFolderIsLink:
        context->Log(LogLevelError, folder + L" is a link, not a state folder: left as it is");
        return ActionFailed;
    case StateFolderIsFile:
        context->Log(LogLevelError, folder + L" is a file, not a state folder: left as it is");
        return ActionFailed;
    case StateFolderNotMarked:
        context->Log(LogLevelError, folder + L" is not a state folder Verrand made: left as it is");
        return ActionFailed;
    case StateFolderKept:
        context->Log(LogLevelWarning, L"The state folder " + folder +
                                          L" still holds what a rollback step did not give back: left for a person "
                                          L"to restore from");
        return ActionDone;
    case StateFolderNotRemoved:
        break;
    }
    context->Log(LogLevelError, withError(L"Couldn't remove " + failed + L" from the state folder " + folder, error));
    return ActionFailed;
}

extern "C" UINT __stdcall RemoveStateFolder(MSIHANDLE install)
{
    return RunCustomAction(install, PackageStepNames::StateFolderEntry, &ForgetStateFolder);
}
