/* The C interface as a C program sees it: compiled as C with only
   include/verrand/verrand.h and linked with the import library Verrand.dll.a,
   it lists the actions, runs actions with arguments and properties from its
   callbacks and runs plans with their rollback. */
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <windows.h>

#include "verrand/verrand.h"

static int failures = 0;

#define CHECK(condition, what)                                                                     \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            printf("FAILED %s:%d: %s\n", __FILE__, __LINE__, what);                                \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

/* What the callbacks saw, and the properties they serve. */
#define MAX_LINES 400
#define MAX_PROPERTIES 64
typedef struct Recording {
    int levels[MAX_LINES];
    wchar_t lines[MAX_LINES][512];
    int lineCount;
    wchar_t names[MAX_PROPERTIES][64];
    wchar_t values[MAX_PROPERTIES][512];
    int propertyCount;
    int asked; /* getProperty calls */
} Recording;

static void VERRAND_CALL recordLine(void* user, int level, const wchar_t* text)
{
    Recording* recording = (Recording*)user;
    if (recording->lineCount < MAX_LINES) {
        recording->levels[recording->lineCount] = level;
        wcsncpy(recording->lines[recording->lineCount], text, 511);
        recording->lines[recording->lineCount][511] = 0;
        ++recording->lineCount;
    }
}

static int findProperty(const Recording* recording, const wchar_t* name)
{
    int i;
    for (i = 0; i < recording->propertyCount; ++i) {
        if (wcscmp(recording->names[i], name) == 0)
            return i;
    }
    return -1;
}

static void VERRAND_CALL recordProperty(void* user, const wchar_t* name, const wchar_t* value)
{
    Recording* recording = (Recording*)user;
    int at = findProperty(recording, name);
    if (at < 0 && recording->propertyCount < MAX_PROPERTIES) {
        at = recording->propertyCount++;
        wcsncpy(recording->names[at], name, 63);
    }
    if (at >= 0)
        wcsncpy(recording->values[at], value, 511);
}

/* Copies as much as fits, without a terminator when it does not fit. */
static int VERRAND_CALL serveProperty(void* user, const wchar_t* name, wchar_t* buffer, int capacity)
{
    Recording* recording = (Recording*)user;
    int at = findProperty(recording, name);
    int length;
    ++recording->asked;
    if (at < 0)
        return -1;
    length = (int)wcslen(recording->values[at]);
    memcpy(buffer, recording->values[at], sizeof(wchar_t) * (length < capacity ? length : capacity));
    return length;
}

static VerrandHost hostFor(Recording* recording)
{
    VerrandHost host;
    memset(recording, 0, sizeof *recording);
    memset(&host, 0, sizeof host);
    host.size = sizeof host;
    host.user = recording;
    host.log = recordLine;
    host.getProperty = serveProperty;
    host.setProperty = recordProperty;
    return host;
}

static int hasLine(const Recording* recording, int level, const wchar_t* part)
{
    int i;
    for (i = 0; i < recording->lineCount; ++i) {
        if ((level == 0 || recording->levels[i] == level) && wcsstr(recording->lines[i], part))
            return 1;
    }
    return 0;
}

static int exists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

static void listsActionsWithSentenceAndTwin(void)
{
    VerrandActionInfo info;
    const wchar_t* previous = L"";
    int i, count = VerrandActionCount(), shortcut = 0, folder = 0;
    CHECK(count > 20, "the library has its actions");
    for (i = 0; i < count; ++i) {
        CHECK(VerrandActionAt(i, &info) == VERRAND_DONE, "every index up to the count answers");
        CHECK(info.name && info.sentence && info.twin && info.name[0], "every entry has its texts");
        CHECK(i == 0 || wcscmp(previous, info.name) < 0, "the actions come in name order");
        previous = info.name;
        if (wcscmp(info.name, L"CreateShortcut") == 0) {
            shortcut = 1;
            CHECK(wcscmp(info.twin, L"RollbackCreateShortcut") == 0, "CreateShortcut's twin is RollbackCreateShortcut");
            CHECK(wcsstr(info.sentence, L"Creates a shortcut file") == info.sentence, "its sentence");
        }
        if (wcscmp(info.name, L"TranslateString") == 0) {
            folder = 1;
            CHECK(info.twin[0] == 0, "an action without a twin has an empty one");
        }
    }
    CHECK(shortcut && folder, "the list holds CreateShortcut and TranslateString");
    CHECK(VerrandActionAt(count, &info) == VERRAND_USAGE, "past the end is refused");
    CHECK(VerrandActionAt(-1, &info) == VERRAND_USAGE, "a negative index is refused");
    CHECK(VerrandActionAt(0, NULL) == VERRAND_USAGE, "no place for the answer is refused");
}

static void runsActionsWithArgumentsAndProperties(void)
{
    Recording recording;
    VerrandHost host = hostFor(&recording);
    const wchar_t* arguments[] = { L"FolderName=C:\\capi\\from argument" };
    /* Longer than the first buffer the interface offers: it asks again. */
    const wchar_t* longFolder = L"C:\\capi\\from a property whose value is longer than the buffer first offered for "
                                L"it, so that the host is asked a second time with room for all of it\\end";
    int status;

    status = VerrandRunAction(L"EnsureFolderExists", arguments, 1, &host);
    CHECK(status == VERRAND_DONE, "an action runs with its arguments");
    CHECK(exists(L"C:\\capi\\from argument"), "the action made the folder it was given");
    CHECK(hasLine(&recording, VERRAND_LEVEL_INFO, L"Creating folder: C:/capi/from argument"),
          "its level-2 line reached the log callback");

    host = hostFor(&recording);
    recordProperty(&recording, L"FolderName", longFolder);
    status = VerrandRunAction(L"EnsureFolderExists", NULL, 0, &host);
    CHECK(status == VERRAND_DONE, "an absent argument is asked of the host's properties");
    CHECK(recording.asked >= 2, "the host was asked again for a value longer than the buffer");
    CHECK(exists(longFolder), "the whole long value arrived");

    host = hostFor(&recording);
    status = VerrandRunAction(L"EnsureFolderExists", NULL, 0, &host);
    CHECK(status == VERRAND_FAILED, "a name neither argument nor property is empty: refused");
    CHECK(hasLine(&recording, VERRAND_LEVEL_ERROR, L"FolderName"), "with a level-4 line naming it");

    host = hostFor(&recording);
    status = VerrandRunAction(L"SetWindowsSystemFolderProps", NULL, 0, &host);
    CHECK(status == VERRAND_DONE, "an action that sets properties runs");
    CHECK(findProperty(&recording, L"WindowsFolder") >= 0 &&
              _wcsicmp(recording.values[findProperty(&recording, L"WindowsFolder")], L"C:\\windows\\") == 0,
          "the properties it set reached the setProperty callback");
}

static void refusesWrongCalls(void)
{
    Recording recording;
    VerrandHost host = hostFor(&recording);
    const wchar_t* noEquals[] = { L"FolderName" };
    const wchar_t* secret[] = { L"FolderName=C:\\capi\\hunter2-folder", L"SensitiveData=hunter2" };

    CHECK(VerrandRunAction(L"NoSuchAction", NULL, 0, &host) == VERRAND_USAGE, "an unknown action is a usage error");
    CHECK(hasLine(&recording, VERRAND_LEVEL_ERROR, L"NoSuchAction"), "which a level-4 line names");
    CHECK(VerrandRunAction(L"EnsureFolderExists", noEquals, 1, &host) == VERRAND_USAGE,
          "an argument without '=' is a usage error");
    CHECK(VerrandRunAction(L"EnsureFolderExists", NULL, 1, &host) == VERRAND_USAGE,
          "arguments announced but not given are a usage error");
    CHECK(VerrandRunAction(NULL, NULL, 0, &host) == VERRAND_USAGE, "no action name is a usage error");
    host.log = NULL;
    CHECK(VerrandRunAction(L"EnsureFolderExists", secret, 2, &host) == VERRAND_USAGE,
          "a host without a log callback is refused");
    CHECK(!exists(L"C:\\capi\\hunter2-folder"), "and nothing ran");
    host = hostFor(&recording);
    host.size = sizeof host - 1;
    CHECK(VerrandRunAction(L"EnsureFolderExists", secret, 2, &host) == VERRAND_USAGE,
          "a host struct of an unknown size is refused");

    host = hostFor(&recording);
    CHECK(VerrandRunAction(L"EnsureFolderExists", secret, 2, &host) == VERRAND_DONE, "a secret argument is taken");
    CHECK(recording.lineCount > 0 && !hasLine(&recording, 0, L"hunter2"), "and reaches no line");
    CHECK(hasLine(&recording, VERRAND_LEVEL_INFO, L"C:/capi/"), "the line itself still comes");
}

static void writePlan(const wchar_t* path, const char* text)
{
    FILE* file = _wfopen(path, L"wb");
    fputs(text, file);
    fclose(file);
}

static void runsPlansWithRollback(void)
{
    Recording recording;
    VerrandHost host = hostFor(&recording);
    const wchar_t* base[] = { L"BASE=C:\\capi\\plan" };
    const char* steps =
        "{\"properties\": {\"BASE\": \"C:\\\\overridden\"}, \"steps\": ["
        "{\"action\": \"SetWindowsSystemFolderProps\"},"
        "{\"action\": \"CreateShortcut\", \"args\": {\"runAction\": \"1\", \"linkFullPath\": \"[BASE]\\\\notes.lnk\","
        " \"pathToTarget\": \"[WindowsFolder]notepad.exe\"},"
        " \"rollback\": {\"action\": \"RemoveShortcut\", \"args\": {\"runAction\": \"1\","
        " \"linkFullPath\": \"[BASE]\\\\notes.lnk\"}}}";
    char failing[2048];
    int status;

    strcpy(failing, steps);
    strcat(failing, ",{\"action\": \"DeleteRegistryKey\", \"args\": {\"Root\": \"HKEY_FAIL_ON_PURPOSE\", \"Path\": \"x\"}}]}");
    writePlan(L"C:\\capi-failing.json", failing);
    status = VerrandRunPlan(L"C:\\capi-failing.json", base, 1, &host);
    CHECK(status == VERRAND_FAILED, "the plan ends with the failing step's status");
    CHECK(hasLine(&recording, VERRAND_LEVEL_INFO, L"== step 3 of 3: DeleteRegistryKey"), "steps are announced");
    CHECK(hasLine(&recording, VERRAND_LEVEL_INFO, L"== rollback of step 2: RemoveShortcut"), "so are the twins");
    CHECK(!exists(L"C:\\capi\\plan\\notes.lnk"), "the twin removed the shortcut its step made");
    CHECK(findProperty(&recording, L"WindowsFolder") >= 0, "properties a step set reached the host");

    host = hostFor(&recording);
    strcpy(failing, steps);
    strcat(failing, "]}");
    writePlan(L"C:\\capi-plan.json", failing);
    status = VerrandRunPlan(L"C:\\capi-plan.json", base, 1, &host);
    CHECK(status == VERRAND_DONE, "a plan whose steps succeed gives 0");
    CHECK(exists(L"C:\\capi\\plan\\notes.lnk"), "the caller's property won over the plan's, and a step's expanded");
    CHECK(!hasLine(&recording, 0, L"rollback of"), "no twin ran");

    host = hostFor(&recording);
    CHECK(VerrandRunPlan(L"C:\\no such plan.json", NULL, 0, &host) == VERRAND_USAGE, "a missing plan is refused");
    writePlan(L"C:\\capi-unknown.json", "{\"steps\": [{\"action\": \"EnsureFolderExists\", \"args\": {\"FolderName\": "
                                        "\"C:\\\\capi\\\\never\"}}, {\"action\": \"NoSuchAction\"}]}");
    CHECK(VerrandRunPlan(L"C:\\capi-unknown.json", NULL, 0, &host) == VERRAND_USAGE,
          "a plan naming an action there is not is refused");
    CHECK(!exists(L"C:\\capi\\never"), "before any step ran");
}

int main(void)
{
    listsActionsWithSentenceAndTwin();
    runsActionsWithArgumentsAndProperties();
    refusesWrongCalls();
    runsPlansWithRollback();
    printf("%s: %d failed\n", failures ? "FAILED" : "passed", failures);
    return failures ? 1 : 0;
}
