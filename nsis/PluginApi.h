#pragma once
// What NSIS 3 hands a plugin function, as its plugin documentation
// describes it (Unicode installers: every text is UTF-16):
//
//   void __cdecl Name(HWND parent, int stringSize, wchar_t* variables,
//                     NsisStackEntry** stackTop, NsisExtraParameters* extra)
//
// `parent` is the installer's window (none in a silent installer),
// `stringSize` the size in characters of every text buffer (the stack's
// and the variables'), `variables` the variables $0..$9, $R0..$R9,
// $CMDLINE, $INSTDIR, $OUTDIR, $EXEDIR, $LANGUAGE, one text buffer each in
// that order, and `stackTop` the top of the string stack, a list of entries
// allocated with GlobalAlloc that the one who pops an entry frees.
#include <windows.h>

struct NsisStackEntry {
    NsisStackEntry* next;
    wchar_t text[1]; // stringSize characters
};

enum NsisVariable {
    NsisVariable0 = 0,   // $0, then $1..$9
    NsisVariableR0 = 10, // $R0, then $R1..$R9
    NsisVariableCommandLine = 20,
    NsisVariableInstallDir = 21,
    NsisVariableOutputDir = 22,
    NsisVariableExeDir = 23,
    NsisVariableLanguage = 24,
    NsisVariableCount = 25
};

// The installer's flags; only the first of them are read here.
struct NsisExecFlags {
    int autoClose;
    int allUserVar;
    int execError;
    int abort;
    int execReboot;
    int rebootCalled;
    int obsoleteInstallType;
    int pluginApiVersion;
    int silent;
    int installDirError;
    int rightToLeft;
    int errorLevel;
    int alterRegistryView;
    int statusUpdate;
};

enum NsisPluginMessage {
    NsisPluginUnload,    // the last message: the installer ends
    NsisPluginGuiUnload, // after .onGUIEnd
};

// A plugin that registers a callback stays loaded until the installer
// ends; one that does not is unloaded after each call.
typedef UINT_PTR (*NsisPluginCallback)(NsisPluginMessage message);

struct NsisExtraParameters {
    NsisExecFlags* execFlags;
    int(__stdcall* executeCodeSegment)(int, HWND);
    void(__stdcall* validateFilename)(wchar_t*);
    int(__stdcall* registerPluginCallback)(HMODULE, NsisPluginCallback);
};

// The details list of the installer's inner dialog (a list view), where
// DetailPrint writes.
const int NsisDetailsListId = 1016;
