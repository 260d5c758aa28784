#pragma once
#include <string>

// Argument names of the registry actions, built once when the library loads.
namespace RegistryArgumentNames {
extern const std::wstring Path;
extern const std::wstring Root;
extern const std::wstring Value;
}
