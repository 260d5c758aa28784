// LMRXTextReplace: replaces every occurrence of one word by another inside
// an installed text file, after preparing the replacement by the attribute
// bits. Never fails the host's plan on a crash: the crash is logged and the
// action reports done. Given an invocation-data folder, the edit keeps the
// original file there for RollbackLMRXTextReplace (TextEditState).
#include <windows.h>

#include "core/Action.h"
#include "core/FileIdentity.h"
#include "core/PathRules.h"
#include "core/TrueFalseWords.h"

#include "EntryList.h"
#include "FileArgumentNames.h"
#include "PocoWrapper/File.h"
#include "ReplaceFileVariables.h"
#include "ReplacementAttributes.h"
#include "TextEditState.h"

namespace {
bool acceptState(IActionContext& context, const std::wstring& invocationFolder, const std::wstring& file);

int replaceText(IActionContext& context)
{
    const bool debug = IsTrueWord(*context.GetArg(FileArgumentNames::Debug));
    const long attributes = ParseAttributeValue(*context.GetArg(FileArgumentNames::Attributes));
    const std::wstring replacement = PrepareReplacement(*context.GetArg(FileArgumentNames::ReplaceWord), attributes);
    const std::wstring escapedReplacement = EscapeEntryText(replacement);
    const std::wstring escapedSearch = EscapeEntryText(*context.GetArg(FileArgumentNames::SearchWord));
    const std::wstring entries = BuildEntryList(escapedSearch, escapedReplacement);

    const std::wstring file = *context.GetArg(FileArgumentNames::File);
    // The file is rewritten through a temporary file beside it: the path
    // must name exactly one file.
    if (!AcceptPath(context, FileArgumentNames::File, file, CheckTarget(file)))
        return ActionFailed;
    // A file already standing at the temporary name is someone else's: the
    // edit would overwrite it and, on failure, delete it.
    const std::wstring tempPath = file + L".tmp";
    if (GetFileAttributesW(PocoWrapper::toExtendedLengthPathW(tempPath).c_str()) != INVALID_FILE_ATTRIBUTES) {
        context.Log(LogLevelError, L"Refusing File \"" + file + L"\": " + tempPath + L" exists already");
        return ActionFailed;
    }
    const std::wstring attributeText = *context.GetArg(FileArgumentNames::Attributes);
    const std::wstring invocationFolder = *context.GetArg(FileArgumentNames::InvocationDataDir);
    if (invocationFolder.empty())
        return ReplaceFileVariables(context, file, entries, attributeText, true, debug) ? ActionDone : ActionFailed;
    if (!acceptState(context, invocationFolder, file))
        return ActionFailed;
    TextEditState state(context, invocationFolder, file);
    // A file that is not there is only reported: it leaves no state.
    const bool present = GetFileAttributesW(PocoWrapper::toExtendedLengthPathW(file).c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!state.accept() || (present && !state.begin()))
        return ActionFailed;
    return ReplaceFileVariables(context, file, entries, attributeText, true, debug, &state) ? ActionDone
                                                                                            : ActionFailed;
}

// The folder of the edit's state is given, and is not the file edited.
bool acceptState(IActionContext& context, const std::wstring& invocationFolder, const std::wstring& file)
{
    if (!AcceptPath(context, FileArgumentNames::InvocationDataDir, invocationFolder, CheckTarget(invocationFolder)))
        return false;
    return AcceptPath(context, FileArgumentNames::File, file,
                      IsSameOrInsideObject(invocationFolder, file) ? PathHoldsStateFolder : PathAcceptable);
}

int rollBack(IActionContext& context)
{
    const std::wstring file = *context.GetArg(FileArgumentNames::File);
    const std::wstring invocationFolder = *context.GetArg(FileArgumentNames::InvocationDataDir);
    if (!AcceptPath(context, FileArgumentNames::File, file, CheckTarget(file)) ||
        !acceptState(context, invocationFolder, file))
        return ActionFailed;
    return TextEditState(context, invocationFolder, file).rollBack();
}
}

VERRAND_ACTION(LMRXTextReplace)
{
    try {
        return replaceText(*context);
    } catch (...) {
        context->Log(LogLevelError, L"LMRXTextReplace crashed");
        return ActionDone;
    }
}

VERRAND_ACTION(RollbackLMRXTextReplace)
{
    return rollBack(*context);
}
