#include "ActionLibrary.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {
HMODULE verrand()
{
    static HMODULE module = LoadLibraryW(L"Verrand.dll");
    return module;
}
}

ActionFunction FindAction(const char* name)
{
    HMODULE module = verrand();
    if (!module)
        return 0;
    return reinterpret_cast<ActionFunction>(GetProcAddress(module, name));
}

int CallAction(const char* name, const boost::shared_ptr<IActionContext>& context)
{
    ActionFunction action = FindAction(name);
    if (!action) {
        ADD_FAILURE() << "Verrand.dll does not export " << name << " (load error " << GetLastError() << ")";
        return -1;
    }
    return action(context);
}
