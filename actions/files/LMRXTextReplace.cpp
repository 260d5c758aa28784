// LMRXTextReplace: replaces every occurrence of one word by another inside
// an installed text file, after preparing the replacement by the attribute
// bits. Never fails the host's plan on a crash: the crash is logged and the
// action reports done.
#include <windows.h>

#include "core/Action.h"
#include "core/PathRules.h"
#include "core/TrueFalseWords.h"

#include "EntryList.h"
#include "FileArgumentNames.h"
#include "PocoWrapper/File.h"
#include "ReplaceFileVariables.h"
#include "ReplacementAttributes.h"

namespace {
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
    return ReplaceFileVariables(context, file, entries, attributeText, true, debug) ? ActionDone : ActionFailed;
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
