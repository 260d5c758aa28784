#include "UiTextFixtures.h"

#include <windows.h>

std::wstring Fixture(const std::wstring& name)
{
    wchar_t program[MAX_PATH];
    const DWORD length = GetModuleFileNameW(0, program, MAX_PATH);
    std::wstring folder(program, length);
    folder.erase(folder.find_last_of(L'\\') + 1);
    return folder + L"uitext-fixtures\\" + name;
}

