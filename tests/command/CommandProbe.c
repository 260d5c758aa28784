/* A small program for the command tests. Options, in any order:
 *   --exit CODE          exit with CODE (default 0)
 *   --counter FILE       count this run in FILE (a decimal number, created
 *                        when missing); without it the file named by the
 *                        environment variable VERRAND_PROBE_COUNTER is used
 *   --fail-first N       runs 1..N (by the counter) exit with CODE, later runs
 *                        exit 0; CODE defaults to 1 here
 *   --bits FILE          write "32" or "64" (this program's own width)
 *   --env NAME FILE      write the variable's value, or "<unset>"
 *   --wait-for FILE      wait until FILE exists (at most a minute), then
 *   --done FILE          write "released" or "gave up" into this file
 * Texts are written in UTF-8 without a line end. */
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

static void writeBytes(HANDLE file, const wchar_t* text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, 0, 0, 0, 0);
    char* bytes = (char*)malloc(size > 0 ? size : 1);
    DWORD written = 0;
    if (!bytes)
        ExitProcess(91);
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, size, 0, 0);
    if (size > 1 && !WriteFile(file, bytes, (DWORD)(size - 1), &written, 0))
        ExitProcess(92);
    free(bytes);
}

/* Writes next to the file and moves it into place, so a reader never sees a
 * half-written text. */
static void writeText(const wchar_t* path, const wchar_t* text)
{
    size_t length = wcslen(path);
    wchar_t* temporary = (wchar_t*)calloc(length + 8, sizeof(wchar_t));
    HANDLE file;
    if (!temporary)
        ExitProcess(93);
    wcscpy(temporary, path);
    wcscat(temporary, L".part");
    file = CreateFileW(temporary, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        ExitProcess(90);
    writeBytes(file, text);
    CloseHandle(file);
    if (!MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING))
        ExitProcess(94);
    free(temporary);
}

/* Increments the number in the file and returns the new count. The file is
 * held without sharing meanwhile, so runs started together count correctly. */
static int countRun(const wchar_t* path)
{
    char text[32] = { 0 };
    wchar_t wide[32];
    DWORD read = 0;
    int count;
    int tries;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (tries = 0; tries < 3000 && file == INVALID_HANDLE_VALUE; ++tries) {
        file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() != ERROR_SHARING_VIOLATION)
                ExitProcess(95);
            Sleep(10);
        }
    }
    if (file == INVALID_HANDLE_VALUE)
        ExitProcess(96);
    ReadFile(file, text, sizeof(text) - 1, &read, 0);
    count = atoi(text) + 1;
    swprintf(wide, 32, L"%d", count);
    SetFilePointer(file, 0, 0, FILE_BEGIN);
    writeBytes(file, wide);
    SetEndOfFile(file);
    CloseHandle(file);
    return count;
}

static int exists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

int wmain(int argc, wchar_t** argv)
{
    int code = 0;
    int codeGiven = 0;
    int failFirst = -1;
    const wchar_t* counter = 0;
    const wchar_t* waitFor = 0;
    const wchar_t* done = 0;
    wchar_t fromEnvironment[MAX_PATH];
    int run = 0;
    int i;

    for (i = 1; i < argc; ++i) {
        const wchar_t* option = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : 0;
        if (!value)
            return 80;
        ++i;
        if (wcscmp(option, L"--exit") == 0) {
            code = _wtoi(value);
            codeGiven = 1;
        } else if (wcscmp(option, L"--counter") == 0) {
            counter = value;
        } else if (wcscmp(option, L"--fail-first") == 0) {
            failFirst = _wtoi(value);
        } else if (wcscmp(option, L"--bits") == 0) {
            writeText(value, sizeof(void*) == 8 ? L"64" : L"32");
        } else if (wcscmp(option, L"--env") == 0) {
            DWORD size;
            wchar_t* buffer;
            if (i + 1 >= argc)
                return 81;
            size = GetEnvironmentVariableW(value, 0, 0);
            buffer = (wchar_t*)calloc(size + 1, sizeof(wchar_t));
            if (!buffer)
                return 82;
            if (size == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
                wcscpy(buffer, L"<unset>");
            else
                GetEnvironmentVariableW(value, buffer, size + 1);
            writeText(argv[++i], buffer);
            free(buffer);
        } else if (wcscmp(option, L"--wait-for") == 0) {
            waitFor = value;
        } else if (wcscmp(option, L"--done") == 0) {
            done = value;
        } else {
            return 83;
        }
    }

    if (!counter && GetEnvironmentVariableW(L"VERRAND_PROBE_COUNTER", fromEnvironment, MAX_PATH) > 0)
        counter = fromEnvironment;
    if (counter)
        run = countRun(counter);

    if (waitFor) {
        int waited = 0;
        while (!exists(waitFor) && waited < 60000) {
            Sleep(50);
            waited += 50;
        }
        if (done)
            writeText(done, exists(waitFor) ? L"released" : L"gave up");
    }

    if (failFirst >= 0)
        return run <= failFirst ? (codeGiven ? code : 1) : 0;
    return code;
}
