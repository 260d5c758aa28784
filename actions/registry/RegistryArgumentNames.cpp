#include "RegistryArgumentNames.h"

namespace RegistryArgumentNames {
const std::wstring Path(L"Path");
const std::wstring Root(L"Root");
const std::wstring Value(L"Value");
}
