// TranslateString and TranslateStringIfConditionsEqual: resolve the
// #identifier# references of a string from a uitext file and hand the result
// to the host as the property TranslatedString. Problems with the file or
// the identifiers only go to the install log; the property is set anyway.
#include "core/Action.h"

#include "BasicStringLibrary.h"
#include "StringFormatter.h"
#include "UiTextArgumentNames.h"

namespace {
void translate(IActionContext& context)
{
    const std::wstring language = *context.GetArg(UiTextArgumentNames::LangCode);
    const std::wstring uiTextFile = *context.GetArg(UiTextArgumentNames::UITextFile);
    const std::wstring text = *context.GetArg(UiTextArgumentNames::StringToTranslate);
    const boost::shared_ptr<IStringLibrary> library(new BasicStringLibrary(uiTextFile, language));
    context.SetProperty(UiTextPropertyNames::TranslatedString, BasicFormatString(text, library));
}
}

VERRAND_ACTION(TranslateString)
{
    translate(*context);
    return ActionDone;
}

VERRAND_ACTION(TranslateStringIfConditionsEqual)
{
    const std::wstring left = *context->GetArg(UiTextArgumentNames::LHSCondition);
    const std::wstring right = *context->GetArg(UiTextArgumentNames::RHSCondition);
    if (left == right)
        translate(*context);
    return ActionDone;
}
