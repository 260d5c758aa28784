/*
 * Verrand's C interface: run an installer action by name, or a plan of
 * actions with its rollback, from any language that can call a __stdcall
 * function of a DLL (C, C++ built by any compiler, Delphi, .NET P/Invoke, a
 * setup engine's script). Plain C: no C++ type crosses it. Texts are UTF-16
 * (wchar_t on Windows); every text Verrand hands over ends with a NUL and is
 * valid only during the call that hands it over, unless said otherwise.
 *
 * Link with Verrand.dll.a (mingw) or Verrand.lib (MSVC), or load Verrand.dll
 * and take the functions by these names with GetProcAddress.
 */
#ifndef VERRAND_VERRAND_H
#define VERRAND_VERRAND_H

#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VERRAND_CALL __stdcall
#ifndef VERRAND_C_API
#define VERRAND_C_API __declspec(dllimport)
#endif

/* Statuses. An action gives 0 or 1; the interface adds 2 and 3. */
#define VERRAND_DONE 0
#define VERRAND_FAILED 1
/* The call itself was wrong: no such action, a plan file that cannot be
   read, an argument without '=', a host without its log callback. */
#define VERRAND_USAGE 2
/* The action let an exception out (or crashed inside Verrand); a level-4
   line said what it was. */
#define VERRAND_CRASHED 3

/* Levels of log lines: 2 information, 3 warning, 4 error. */
#define VERRAND_LEVEL_INFO 2
#define VERRAND_LEVEL_WARNING 3
#define VERRAND_LEVEL_ERROR 4

/*
 * The caller's side of a run: callbacks Verrand calls while an action or a
 * plan runs, on the calling thread (an action's helper threads may log too,
 * one line at a time). `user` is passed back to every callback. Set `size`
 * to sizeof(VerrandHost). Only `log` is required; a NULL callback means the
 * host has nothing to offer there.
 */
typedef struct VerrandHost {
    unsigned int size;
    void* user;
    /* One line an action logs, at its level. */
    void(VERRAND_CALL* log)(void* user, int level, const wchar_t* text);
    /* The value of a property by name (asked when the call's own arguments
       do not have the name): copies up to `capacity` characters into
       `buffer` (a terminating NUL is not needed) and returns the value's
       whole length in characters, or -1 when the host has no such
       property. When the length is more than `capacity`, Verrand calls
       again with a buffer of that size. */
    int(VERRAND_CALL* getProperty)(void* user, const wchar_t* name, wchar_t* buffer, int capacity);
    /* A property an action sets. */
    void(VERRAND_CALL* setProperty)(void* user, const wchar_t* name, const wchar_t* value);
    /* Formats a text with the host's own rules (for instance [NAME] from
       its properties), answering as getProperty does. NULL: the text
       stays as it is. */
    int(VERRAND_CALL* format)(void* user, const wchar_t* text, wchar_t* buffer, int capacity);
    /* A line of the process-wide install log (with its time stamp). */
    void(VERRAND_CALL* installLog)(void* user, const wchar_t* line);
} VerrandHost;

/*
 * Runs one action. `arguments` holds `count` texts "NAME=VALUE" (the first
 * '=' ends the name); an action asks for a name among them first, then
 * through host->getProperty; a name found in neither is an empty text.
 * Returns the action's status, or VERRAND_USAGE or VERRAND_CRASHED.
 */
VERRAND_C_API int VERRAND_CALL VerrandRunAction(const wchar_t* action, const wchar_t* const* arguments, int count,
                                                const VerrandHost* host);

/*
 * Runs a JSON plan file (the format verrand-host plan reads) with its
 * rollback: when a step fails, no further step starts and the rollback
 * twins of that step and every step before it run, newest first. The
 * plan's properties, then `count` texts "NAME=VALUE" in `properties`, are
 * the run's properties; every property a step sets is also handed to
 * host->setProperty. Steps and twins are announced as level-2 lines
 * ("== step 1 of 3: Action", "== rollback of step 2: Action"). Returns the
 * failing step's status (0 when every step succeeded), VERRAND_USAGE for a
 * plan that cannot be read or names an action there is not.
 */
VERRAND_C_API int VERRAND_CALL VerrandRunPlan(const wchar_t* planFile, const wchar_t* const* properties, int count,
                                              const VerrandHost* host);

/* One action of the library. The texts stay valid while Verrand.dll is
   loaded. */
typedef struct VerrandActionInfo {
    const wchar_t* name;
    /* What the action does, in one sentence. */
    const wchar_t* sentence;
    /* The action that undoes it as its rollback twin; an empty text when it
       has none. */
    const wchar_t* twin;
} VerrandActionInfo;

/* How many actions there are. */
VERRAND_C_API int VERRAND_CALL VerrandActionCount(void);
/* The action at `index` (from 0, in name order) into *info; VERRAND_DONE,
   or VERRAND_USAGE for an index out of range or a NULL info. */
VERRAND_C_API int VERRAND_CALL VerrandActionAt(int index, VerrandActionInfo* info);

#ifdef __cplusplus
}
#endif

#endif
