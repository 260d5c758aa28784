#pragma once
#include <string>

// Argument names of the translate actions, built once when the library loads.
namespace UiTextArgumentNames {
extern const std::wstring UITextFile;
extern const std::wstring LangCode;
extern const std::wstring StringToTranslate;
extern const std::wstring LHSCondition;
extern const std::wstring RHSCondition;
}

// The property that receives the translation.
namespace UiTextPropertyNames {
extern const std::wstring TranslatedString;
}
