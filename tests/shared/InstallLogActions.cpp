// A small action library with its own copy of the install-log facade, as
// every action library of a setup process has. The host tests load it with
// --dll to see its install-log lines reach the host's output.
#include <cstdlib>

#include <Poco/NestedDiagnosticContext.h>

#include "PocoWrapper/String.h"
#include "core/Action.h"
#include "log/InstallLog.h"

// Writes Text to the install log as an error (Count times, once when not
// given), inside the nested diagnostic context entry Context when one is
// given.
VERRAND_ACTION(WriteInstallLogError)
{
    const std::wstring text = *context->GetArg(L"Text");
    const std::wstring entry = *context->GetArg(L"Context");
    const std::wstring count = *context->GetArg(L"Count");
    const int times = count.empty() ? 1 : _wtoi(count.c_str());
    for (int i = 0; i < times; ++i) {
        if (entry.empty()) {
            InstallLog::Error(text);
        } else {
            Poco::NDCScope scope(PocoWrapper::toUtf8(entry));
            InstallLog::Error(text);
        }
    }
    return ActionDone;
}
