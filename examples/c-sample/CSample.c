/* The smallest C program that calls Verrand through its C interface: it
   runs one action, or a plan with its rollback, and prints every line with
   its level, every property set and the status.

     CSample.exe ACTION [NAME=VALUE]...
     CSample.exe --plan FILE [NAME=VALUE]...

   Any C compiler for Windows builds it with the release's include/ folder
   and the import library of lib/ (or load Verrand.dll and take the
   functions with GetProcAddress):

     x86_64-w64-mingw32-gcc -municode -I include examples/c-sample/CSample.c lib/Verrand.dll.a -o bin/CSample.exe
     cl /I include examples\c-sample\CSample.c lib\Verrand.lib /Fe:bin\CSample.exe

   (i686-w64-mingw32-gcc for the 32-bit release.) Run it from bin/, beside
   Verrand.dll. */
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <windows.h>

#include "verrand/verrand.h"

static void printUtf8(const char* prefix, const wchar_t* text, const char* suffix)
{
    char line[4096];
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, line, sizeof line, NULL, NULL);
    printf("%s%s%s\n", prefix, size > 0 ? line : "", suffix);
}

static void VERRAND_CALL logLine(void* user, int level, const wchar_t* text)
{
    (void)user;
    printUtf8(level == VERRAND_LEVEL_ERROR ? "[error] " : level == VERRAND_LEVEL_WARNING ? "[warn] " : "[info] ",
              text, "");
}

static void VERRAND_CALL setProperty(void* user, const wchar_t* name, const wchar_t* value)
{
    char narrowName[256];
    const int size = WideCharToMultiByte(CP_UTF8, 0, name, -1, narrowName, sizeof narrowName, NULL, NULL);
    (void)user;
    printf("property %s = ", size > 0 ? narrowName : "");
    printUtf8("", value, "");
}

int wmain(int argc, wchar_t** argv)
{
    VerrandHost host;
    int status;
    if (argc < 2 || (wcscmp(argv[1], L"--plan") == 0 && argc < 3)) {
        fprintf(stderr, "usage: CSample ACTION [NAME=VALUE]... | CSample --plan FILE [NAME=VALUE]...\n");
        return VERRAND_USAGE;
    }
    memset(&host, 0, sizeof host);
    host.size = sizeof host;
    host.log = logLine;
    host.setProperty = setProperty;
    if (wcscmp(argv[1], L"--plan") == 0) {
        status = VerrandRunPlan(argv[2], (const wchar_t* const*)argv + 3, argc - 3, &host);
        printf("plan returned %d\n", status);
    } else {
        char returned[32];
        status = VerrandRunAction(argv[1], (const wchar_t* const*)argv + 2, argc - 2, &host);
        sprintf(returned, " returned %d", status);
        printUtf8("", argv[1], returned);
    }
    return status;
}
