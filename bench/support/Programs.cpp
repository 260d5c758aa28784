#include "Programs.h"

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    const std::wstring program(path, GetModuleFileNameW(0, path, MAX_PATH));
    return program.substr(0, program.rfind(L'\\'));
}

DWORD RunProgram(std::wstring commandLine)
{
    STARTUPINFOW startup = { sizeof(startup) };
    PROCESS_INFORMATION process;
    if (!CreateProcessW(0, &commandLine[0], 0, 0, FALSE, 0, 0, 0, &startup, &process))
        return GetLastError();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}
