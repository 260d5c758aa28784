// GetProductPatchLevel: publishes a product's patch level, derived from the
// installed revisions of the product and its family, in the property named
// by PropertyName.
#include "core/Action.h"

#include "DuArgumentNames.h"
#include "PatchLevel.h"

VERRAND_ACTION(GetProductPatchLevel)
{
    const std::wstring product = *context->GetArg(DuArgumentNames::ProductDUID);
    const std::wstring family = *context->GetArg(DuArgumentNames::ProductFamilyDUID);
    const std::wstring propertyName = *context->GetArg(DuArgumentNames::PropertyName);

    const std::wstring productRevision = *context->GetArg(InstalledRevisionPropertyName(product));
    const std::wstring familyRevision = *context->GetArg(InstalledRevisionPropertyName(family));

    context->SetProperty(propertyName, ProductPatchLevel(productRevision, familyRevision));
    return ActionDone;
}
