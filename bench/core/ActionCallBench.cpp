// Cost of calling an action through its export with a host context, against
// calling a plain exported function of the same library.
#include <windows.h>

#include <boost/shared_ptr.hpp>

#include "host/HostContext.h"
#include "support/BenchReport.h"

namespace {
typedef int(__stdcall* ActionFunction)(boost::shared_ptr<IActionContext>);
typedef unsigned long(__stdcall* PlainFunction)(void);
const int kCalls = 200000;
}

int main()
{
    HMODULE verrand = LoadLibraryW(L"Verrand.dll");
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    ActionFunction action = verrand ? reinterpret_cast<ActionFunction>(GetProcAddress(verrand, "RepairDUBundle")) : 0;
    PlainFunction plain = reinterpret_cast<PlainFunction>(GetProcAddress(kernel, "GetCurrentProcessId"));
    if (!action || !plain) {
        std::printf("action-call bench: RepairDUBundle or the plain function is missing\n");
        return 1;
    }
    Output output(true);
    HostContext::Values properties;
    boost::shared_ptr<IActionContext> context(new HostContext(output, properties, HostContext::Values()));
    volatile int sink = 0;
    const double actionSeconds = BestSecondsOf([&] {
        for (int i = 0; i < kCalls; ++i)
            sink += action(context);
    }, 3);
    const double plainSeconds = BestSecondsOf([&] {
        for (int i = 0; i < kCalls; ++i)
            sink += static_cast<int>(plain());
    }, 3);
    ReportFigure("action call (RepairDUBundle through a host context)", actionSeconds / kCalls * 1e9, "ns/call",
                 "plain exported function call", plainSeconds / kCalls * 1e9);
    return 0;
}
