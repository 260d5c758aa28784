#pragma once
#include <string>

// The full path of a uitext file from fixtures/, copied beside the test program.
std::wstring Fixture(const std::wstring& name);
