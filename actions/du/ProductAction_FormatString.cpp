// ProductAction_FormatString: lets the host expand a text with its own
// properties and publishes the result as "FormattedString".
#include "core/Action.h"

#include "DuArgumentNames.h"

VERRAND_ACTION(ProductAction_FormatString)
{
    const std::wstring text = *context->GetArg(DuArgumentNames::StringToFormat);
    context->SetProperty(L"FormattedString", context->FormatString(text, std::wstring()));
    return ActionDone;
}
