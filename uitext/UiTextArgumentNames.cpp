#include "UiTextArgumentNames.h"

namespace UiTextArgumentNames {
const std::wstring UITextFile(L"UITextFile");
const std::wstring LangCode(L"LangCode");
const std::wstring StringToTranslate(L"StringToTranslate");
const std::wstring LHSCondition(L"LHSCondition");
const std::wstring RHSCondition(L"RHSCondition");
}

namespace UiTextPropertyNames {
const std::wstring TranslatedString(L"TranslatedString");
}
