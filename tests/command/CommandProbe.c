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
 *   --out TEXT           write TEXT to standard output, in UTF-8, reading
 *                        \n \r \t \0 \\ and \xHH (one raw byte) as escapes
 *   --err TEXT           the same on standard error
 *   --lines N TEXT       write N lines "TEXT 1" to "TEXT N" to standard
 *                        output, each ending in \r\n
 *   --bytes N            write N times "x" to standard output, no line end
 *   --sleep MS           sleep for MS milliseconds
 *   --pid FILE           write this process's id
 *   --spawn FILE OPTIONS start this program again with OPTIONS, on the same
 *                        standard handles, write its id into FILE and go on
 *   --spawn-away FILE OPTIONS
 *                        the same, started outside this process's job
 *                        (exit code 99 when that is refused)
 * The output options act in the order given, the others after all of them.
 * Texts written to files are UTF-8 without a line end. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
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

static void writeAll(DWORD which, const char* bytes, DWORD size)
{
    DWORD written = 0;
    while (size > 0) {
        if (!WriteFile(GetStdHandle(which), bytes, size, &written, 0))
            ExitProcess(97);
        bytes += written;
        size -= written;
    }
}

static int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/* Writes the text in UTF-8 with its escapes replaced. */
static void writeEscaped(DWORD which, const wchar_t* text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, 0, 0, 0, 0);
    char* bytes = (char*)malloc(size > 0 ? size : 1);
    int from, to = 0;
    if (!bytes)
        ExitProcess(91);
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, size, 0, 0);
    for (from = 0; from < size - 1; ++from) {
        char c = bytes[from];
        if (c == '\\' && from + 1 < size - 1) {
            char next = bytes[++from];
            if (next == 'n')
                c = '\n';
            else if (next == 'r')
                c = '\r';
            else if (next == 't')
                c = '\t';
            else if (next == '0')
                c = '\0';
            else if (next == 'x' && from + 2 < size - 1 && hexDigit(bytes[from + 1]) >= 0 &&
                     hexDigit(bytes[from + 2]) >= 0) {
                c = (char)(hexDigit(bytes[from + 1]) * 16 + hexDigit(bytes[from + 2]));
                from += 2;
            } else
                c = next;
        }
        bytes[to++] = c;
    }
    writeAll(which, bytes, (DWORD)to);
    free(bytes);
}

/* Writes count lines "text i\r\n" in large blocks. */
static void writeLines(int count, const wchar_t* text)
{
    enum { kBlock = 65536 };
    char* block = (char*)malloc(kBlock);
    char prefix[256];
    int used = 0, i;
    int prefixSize = WideCharToMultiByte(CP_UTF8, 0, text, -1, prefix, sizeof(prefix) - 16, 0, 0);
    if (!block || prefixSize <= 0)
        ExitProcess(91);
    prefix[prefixSize - 1] = ' ';
    for (i = 1; i <= count; ++i) {
        if (used > kBlock - (int)sizeof(prefix) - 16) {
            writeAll(STD_OUTPUT_HANDLE, block, (DWORD)used);
            used = 0;
        }
        memcpy(block + used, prefix, prefixSize);
        used += prefixSize;
        used += sprintf(block + used, "%d\r\n", i);
    }
    writeAll(STD_OUTPUT_HANDLE, block, (DWORD)used);
    free(block);
}

static void writeFill(int count)
{
    enum { kBlock = 65536 };
    char block[kBlock];
    memset(block, 'x', kBlock);
    while (count > 0) {
        int size = count < kBlock ? count : kBlock;
        writeAll(STD_OUTPUT_HANDLE, block, (DWORD)size);
        count -= size;
    }
}

static void writeProcessId(const wchar_t* path, DWORD id)
{
    wchar_t text[32];
    swprintf(text, 32, L"%lu", (unsigned long)id);
    writeText(path, text);
}

/* Starts this program with the options; the new process inherits the
 * standard handles (pipes included) and is not waited for. */
static void spawn(const wchar_t* idFile, const wchar_t* options, DWORD flags)
{
    wchar_t self[MAX_PATH];
    wchar_t* line;
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    DWORD length = GetModuleFileNameW(0, self, MAX_PATH);
    if (length == 0 || length == MAX_PATH)
        ExitProcess(98);
    line = (wchar_t*)calloc(length + wcslen(options) + 4, sizeof(wchar_t));
    if (!line)
        ExitProcess(91);
    swprintf(line, length + wcslen(options) + 4, L"\"%ls\" %ls", self, options);
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    if (!CreateProcessW(0, line, 0, 0, TRUE, flags, 0, 0, &startup, &process))
        ExitProcess(99);
    writeProcessId(idFile, process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    free(line);
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
        } else if (wcscmp(option, L"--out") == 0) {
            writeEscaped(STD_OUTPUT_HANDLE, value);
        } else if (wcscmp(option, L"--err") == 0) {
            writeEscaped(STD_ERROR_HANDLE, value);
        } else if (wcscmp(option, L"--lines") == 0) {
            if (i + 1 >= argc)
                return 81;
            writeLines(_wtoi(value), argv[++i]);
        } else if (wcscmp(option, L"--bytes") == 0) {
            writeFill(_wtoi(value));
        } else if (wcscmp(option, L"--sleep") == 0) {
            Sleep((DWORD)_wtoi(value));
        } else if (wcscmp(option, L"--pid") == 0) {
            writeProcessId(value, GetCurrentProcessId());
        } else if (wcscmp(option, L"--spawn") == 0) {
            if (i + 1 >= argc)
                return 81;
            spawn(value, argv[++i], 0);
        } else if (wcscmp(option, L"--spawn-away") == 0) {
            if (i + 1 >= argc)
                return 81;
            spawn(value, argv[++i], CREATE_BREAKAWAY_FROM_JOB);
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
