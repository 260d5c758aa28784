// The user configuration file actions and their rollback twins. An action
// and its twin share the invocation-data folder: CopyUserConfigFile leaves
// the "DoRollback" signal there after it copied, RemoveUserConfigFile keeps
// the removed file (or folder) there as "RollbackUserConfig".
#include "core/Action.h"

#include "FileArgumentNames.h"
#include "PocoWrapper/File.h"
#include "actions/du/DuArgumentNames.h"

namespace {
const wchar_t* const kInstall = L"install";
const wchar_t* const kUninstall = L"uninstall";
const wchar_t* const kSourceFolder = L"userconfigfiles";
const wchar_t* const kRollbackSignal = L"DoRollback";
const wchar_t* const kRollbackCopy = L"RollbackUserConfig";

std::wstring joined(const std::wstring& folder, const std::wstring& name)
{
    return folder + L"\\" + name;
}

std::wstring arg(IActionContext& context, const std::wstring& name)
{
    return *context.GetArg(name);
}

int skipTransaction(IActionContext& context, const std::wstring& duAction)
{
    context.Log(LogLevelInfo, L"Skipping action for the following kind of DU transaction: " + duAction);
    return ActionDone;
}
}

VERRAND_ACTION(CopyUserConfigFile)
{
    const std::wstring duAction = arg(*context, FileArgumentNames::DuAction);
    const std::wstring invocationDir = arg(*context, FileArgumentNames::InvocationDataDir);
    const std::wstring sourceName = arg(*context, FileArgumentNames::SrcFileName);
    const std::wstring destDir = arg(*context, FileArgumentNames::DestDirName);
    const std::wstring destName = arg(*context, FileArgumentNames::DestFileName);
    const std::wstring duDir = arg(*context, DuArgumentNames::DuDir);

    PocoWrapper::File destFolder(destDir);
    if (!destFolder.exists())
        destFolder.createDirectories();

    const std::wstring source = joined(duDir + kSourceFolder, sourceName);
    const std::wstring destination = joined(destDir, destName);
    // Outside an install the user's own file is kept.
    if (duAction != kInstall && PocoWrapper::File(destination).exists())
        return skipTransaction(*context, duAction);

    PocoWrapper::File sourceFile(source);
    if (sourceFile.isFile()) {
        sourceFile.copyTo(destination);
        const std::wstring signal = joined(invocationDir, kRollbackSignal);
        context->Log(LogLevelInfo, L"Writing rollback signal: " + signal);
        PocoWrapper::File(invocationDir).createDirectories();
        PocoWrapper::File(signal).createFile();
    }
    return ActionDone;
}

VERRAND_ACTION(RollbackCopyUserConfigFile)
{
    const std::wstring invocationDir = arg(*context, FileArgumentNames::InvocationDataDir);
    const std::wstring destDir = arg(*context, FileArgumentNames::DestDirName);
    const std::wstring destName = arg(*context, FileArgumentNames::DestFileName);

    if (!PocoWrapper::File(joined(invocationDir, kRollbackSignal)).exists()) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    const std::wstring destination = joined(destDir, destName);
    PocoWrapper::File destFile(destination);
    if (destFile.exists()) {
        context->Log(LogLevelInfo, L"Rollback UserConfigFile " + destination);
        destFile.remove(false);
    }
    return ActionDone;
}

VERRAND_ACTION(RemoveUserConfigFile)
{
    const std::wstring duAction = arg(*context, FileArgumentNames::DuAction);
    if (duAction != kUninstall)
        return skipTransaction(*context, duAction);
    const std::wstring invocationDir = arg(*context, FileArgumentNames::InvocationDataDir);
    const std::wstring dirName = arg(*context, FileArgumentNames::DirName);
    const std::wstring fileName = arg(*context, FileArgumentNames::FileName);

    PocoWrapper::File target(joined(dirName, fileName));
    if (!target.exists())
        return ActionDone;

    PocoWrapper::File(invocationDir).createDirectories();
    const std::wstring backup = joined(invocationDir, kRollbackCopy);
    context->Log(LogLevelInfo, L"Copying rollback copy of userconfig file to " + backup);
    // An earlier backup is replaced, not merged with: a copy onto an
    // existing folder would land inside it.
    PocoWrapper::File earlier(backup);
    if (earlier.exists())
        earlier.remove(true);
    target.copyTo(backup);
    target.remove(true);
    return ActionDone;
}

VERRAND_ACTION(RollbackRemoveUserConfigFile)
{
    const std::wstring invocationDir = arg(*context, FileArgumentNames::InvocationDataDir);
    const std::wstring backup = joined(invocationDir, kRollbackCopy);
    PocoWrapper::File backupFile(backup);
    if (!backupFile.exists()) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    const std::wstring dirName = arg(*context, FileArgumentNames::DirName);
    const std::wstring fileName = arg(*context, FileArgumentNames::FileName);
    const std::wstring target = joined(dirName, fileName);
    context->Log(LogLevelInfo, L"Rollback copying " + backup + L" to " + target);
    backupFile.copyTo(target);
    return ActionDone;
}
