// TranslateString and TranslateStringIfConditionsEqual: resolve the
// #identifier# references of a string from a uitext file and hand the result
// to the host as the property TranslatedString. Problems with the file or
// the identifiers only go to the install log; the property is set anyway.
#include "core/Action.h"
#include "core/PathRules.h"

#include "BasicStringLibrary.h"
#include "StringFormatter.h"
#include "UiTextArgumentNames.h"

namespace {
// An empty file name is a mistake in the plan: refused, nothing set.
int translate(IActionContext& context)
{
    const std::wstring language = *context.GetArg(UiTextArgumentNames::LangCode);
    const std::wstring uiTextFile = *context.GetArg(UiTextArgumentNames::UITextFile);
    const std::wstring text = *context.GetArg(UiTextArgumentNames::StringToTranslate);
    if (!AcceptPath(context, UiTextArgumentNames::UITextFile, uiTextFile, CheckGiven(uiTextFile)))
        return ActionFailed;
    const boost::shared_ptr<IStringLibrary> library(new BasicStringLibrary(uiTextFile, language));
    context.SetProperty(UiTextPropertyNames::TranslatedString, BasicFormatString(text, library));
    return ActionDone;
}
}

VERRAND_ACTION(TranslateString)
{
    return translate(*context);
}

VERRAND_ACTION(TranslateStringIfConditionsEqual)
{
    const std::wstring left = *context->GetArg(UiTextArgumentNames::LHSCondition);
    const std::wstring right = *context->GetArg(UiTextArgumentNames::RHSCondition);
    if (left == right)
        return translate(*context);
    context->Log(LogLevelInfo, L"TranslateStringIfConditionsEqual: the conditions differ; nothing is translated");
    return ActionDone;
}
