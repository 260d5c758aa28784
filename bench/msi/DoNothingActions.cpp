// The one entry point of DoNothingCA.dll, exported under every action name
// of VerrandCA.dll: it returns success at once. The example package with
// this DLL in place of VerrandCA.dll costs what the installer itself spends
// on calling the same custom actions.
#include <windows.h>

#include <msi.h>

extern "C" UINT __stdcall DoNothing(MSIHANDLE)
{
    return ERROR_SUCCESS;
}
