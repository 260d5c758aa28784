#include "Programs.h"

#include <cstdio>

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

bool RunSelfForResult(const std::wstring& arguments, double& result)
{
    wchar_t self[MAX_PATH];
    const std::wstring program(self, GetModuleFileNameW(0, self, MAX_PATH));
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring resultFile = std::wstring(folder) + L"bench-result-" + std::to_wstring(GetCurrentProcessId());
    bool ok = RunProgram(L"\"" + program + L"\" " + arguments + L" \"" + resultFile + L"\"") == 0;
    FILE* file = _wfopen(resultFile.c_str(), L"r");
    ok = ok && file && std::fscanf(file, "%lf", &result) == 1;
    if (file)
        std::fclose(file);
    DeleteFileW(resultFile.c_str());
    return ok;
}

bool WriteResult(const wchar_t* resultFile, double result)
{
    FILE* file = _wfopen(resultFile, L"w");
    if (!file)
        return false;
    const bool written = std::fprintf(file, "%.1f\n", result) > 0;
    return std::fclose(file) == 0 && written;
}
