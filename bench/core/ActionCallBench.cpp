// Cost of calling an action through its export with a host context, against
// calling a plain exported function; and what the caller's copy and release
// of the context reference (one locked increment, one locked decrement)
// cost around that plain call, which is all an empty action adds to it.
#include <windows.h>

#include <boost/shared_ptr.hpp>

#include "core/Action.h"
#include "host/HostContext.h"
#include "support/BenchReport.h"

namespace {
typedef unsigned long(__stdcall* PlainFunction)(void);
// Enough calls that one measurement takes some 10 ms: a shorter one is at the
// mercy of a single interrupt or a frequency change.
const int kCalls = 2000000;
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
    }, 5);
    const double plainSeconds = BestSecondsOf([&] {
        for (int i = 0; i < kCalls; ++i)
            sink += static_cast<int>(plain());
    }, 5);
    const double referenceSeconds = BestSecondsOf([&] {
        for (int i = 0; i < kCalls; ++i) {
            const boost::shared_ptr<IActionContext> copy(context);
            sink += static_cast<int>(plain());
        }
    }, 5);
    ReportFigure("action call (RepairDUBundle through a host context)", actionSeconds / kCalls * 1e9, "ns/call",
                 "plain exported function call", plainSeconds / kCalls * 1e9);
    ReportFigure("action call (RepairDUBundle through a host context)", actionSeconds / kCalls * 1e9, "ns/call",
                 "plain call with the context reference copied and released", referenceSeconds / kCalls * 1e9);
    return 0;
}
