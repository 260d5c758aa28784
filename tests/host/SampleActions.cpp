// Actions of a small test-only library that the host tests load with --dll:
// one that exercises every kind of output and two that let exceptions out.
#include <stdexcept>

#include <Poco/Exception.h>

#include "core/Action.h"

VERRAND_ACTION(ShowEverything)
{
    context->Log(LogLevelInfo, L"info from " + *context->GetArg(L"Who"));
    context->Log(LogLevelWarning, L"a warning");
    context->Log(LogLevelError, L"an error");
    context->Log(7, L"an odd level");
    context->SetProperty(L"Formatted", context->FormatString(L"[Greeting], [Missing]world [Who]", L""));
    return 5;
}

VERRAND_ACTION(ThrowStandard)
{
    context->Log(LogLevelInfo, L"about to throw");
    throw std::runtime_error("deliberate failure");
}

VERRAND_ACTION(ThrowPoco)
{
    throw Poco::FileNotFoundException("C:\\nowhere\\file.txt");
}
