// The RunCommand family: each action picks a command line, decides whether it
// runs, and hands it to the command runner. All return the runner's status:
// 0 unless a setting refuses the command or SuccessCodes is not met; what
// the command did is in the log (and, for RunCommandAndSetProperty, in a
// property, which gets its Default value and status 1 when the value list
// is broken).
#include "core/Action.h"
#include "support/mossel/Mossel.h"

#include "CommandArgumentNames.h"
#include "CommandRunner.h"
#include "CommandText.h"

namespace {
// Exit code of a command that gave none: not started, started through the
// shell or not waited for.
const int kNoExitCode = -1;

bool listedKind(const std::wstring& kinds, const std::wstring& current)
{
    const std::vector<std::wstring> pieces = SplitTransactionKinds(kinds);
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i] == current)
            return true;
    }
    return false;
}

int runOnce(const boost::shared_ptr<IActionContext>& context, const CString& commandLine)
{
    int exitCode = kNoExitCode;
    return ExecuteCommandLine(context, commandLine, &exitCode, false);
}
}

VERRAND_ACTION(RunCommand)
{
    const std::wstring kinds = *context->GetArg(CommandArgumentNames::RunOnDuAction);
    if (!kinds.empty()) {
        const std::wstring current = *context->GetArg(CommandArgumentNames::DuAction);
        if (!listedKind(kinds, current)) {
            context->Log(LogLevelInfo, L"Skipping action for the following kind of DU transaction: " + current +
                                           L" (run for: " + kinds + L")");
            return ActionDone;
        }
    }
    int exitCode = kNoExitCode;
    return ExecuteCommandLine(context, GetCStringArg(context, CommandArgumentNames::CmdLine), &exitCode, true);
}

VERRAND_ACTION(RunRollBackCommand)
{
    const CString commandLine = GetCStringArg(context, CommandArgumentNames::RollBackCmdLine);
    if (commandLine.IsEmpty()) {
        context->Log(LogLevelInfo, L"No rollback cmdline defined for this action, skipping.");
        return ActionDone;
    }
    return runOnce(context, commandLine);
}

VERRAND_ACTION(RunCommandOnNormalAndRepair)
{
    CString commandLine = GetCStringArg(context, CommandArgumentNames::CmdLine);
    const CString transaction = GetCStringArg(context, CommandArgumentNames::DUInstallAction);
    if (transaction.CompareNoCase(L"repair") == 0)
        commandLine = GetCStringArg(context, CommandArgumentNames::CmdLineOnRepair);
    if (commandLine.IsEmpty()) {
        context->Log(LogLevelInfo, L"[RunCommandOnNormalAndRepair] Empty sCmdLine");
        return ActionDone;
    }
    return runOnce(context, commandLine);
}

VERRAND_ACTION(RunCommandConditional)
{
    const CString commandLine = GetCStringArg(context, CommandArgumentNames::CmdLine);
    const CString value = GetCStringArg(context, CommandArgumentNames::ConditionPropertyToCheck);
    const CString expected = GetCStringArg(context, CommandArgumentNames::PropertyValueCompareWith);
    if (value.CompareNoCase(expected) != 0) {
        context->Log(LogLevelInfo, L"[RunCommandConditional] Condition unmet. CmdLine skipped.");
        return ActionDone;
    }
    if (commandLine.IsEmpty()) {
        context->Log(LogLevelInfo, L"[RunCommandConditional] Empty sCmdLine");
        return ActionDone;
    }
    return runOnce(context, commandLine);
}

VERRAND_ACTION(RunCommandAndSetProperty)
{
    const std::wstring prefix = L"[RunCommandAndSetProperty] ";
    const CString commandLine = GetCStringArg(context, CommandArgumentNames::CmdLine);
    if (commandLine.IsEmpty()) {
        context->Log(LogLevelInfo, prefix + L"Empty sCmdLine");
        return ActionDone;
    }
    int exitCode = kNoExitCode;
    const int status = ExecuteCommandLine(context, commandLine, &exitCode, false);

    const std::wstring property = *context->GetArg(CommandArgumentNames::WriteProperty);
    const std::wstring defaultValue = *context->GetArg(CommandArgumentNames::Default);
    const std::wstring codesText = *context->GetArg(CommandArgumentNames::ReturnCodesSet);
    const std::wstring valuesText = *context->GetArg(CommandArgumentNames::ValuesSet);
    context->Log(LogLevelInfo, prefix + L"wProperty = " + property);
    context->Log(LogLevelInfo, prefix + L"wDefault  = " + defaultValue);
    context->Log(LogLevelInfo, prefix + L"wReturnCodesSet  = " + codesText);
    context->Log(LogLevelInfo, prefix + L"wValuesSet       = " + valuesText);

    const std::vector<std::wstring> codes = SplitCodeList(codesText);
    const std::vector<std::wstring> values = SplitCodeList(valuesText);
    if (values.size() < codes.size()) {
        context->Log(LogLevelError, prefix + L"ValuesSet is shorter than ReturnCodesSet (" +
                                        std::to_wstring(values.size()) + L" values for " +
                                        std::to_wstring(codes.size()) + L" codes); setting the Default value");
        context->SetProperty(property, defaultValue);
        return ActionFailed;
    }
    std::wstring value = defaultValue;
    for (size_t i = 0; i < codes.size(); ++i) {
        context->Log(LogLevelInfo, prefix + L"i = " + codes[i]);
        int code = 0;
        if (ReadReturnCode(codes[i], code) && code == exitCode) {
            value = values[i];
            break;
        }
    }
    context->SetProperty(property, value);
    return status;
}
