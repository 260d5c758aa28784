#pragma once
// Shape of every exported action: plain undecorated name (through the .def
// file), __stdcall, one context reference by value, int status.
#include "IActionContext.h"
#include "LogLevel.h"

#define VERRAND_ACTION(name) extern "C" int __stdcall name(boost::shared_ptr<IActionContext> context)

// An action as a caller holds it, from GetProcAddress of its plain name.
typedef int(__stdcall* ActionFunction)(boost::shared_ptr<IActionContext> context);

enum ActionStatus {
    ActionDone = 0,
    ActionFailed = 1,
};
