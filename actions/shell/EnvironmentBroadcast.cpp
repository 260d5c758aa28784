#include "EnvironmentBroadcast.h"

#include "PocoWrapper/String.h"

namespace {
const unsigned kDefaultBroadcastTimeout = 5000;
}

bool IsBroadcastWord(const CString& word)
{
    return word.CompareNoCase(L"1") == 0 || word.CompareNoCase(L"true") == 0 || word.CompareNoCase(L"yes") == 0;
}

unsigned BroadcastTimeout(const CString& text)
{
    unsigned timeout = 0;
    if (!PocoWrapper::tryParseUnsigned(text.str(), timeout))
        return kDefaultBroadcastTimeout;
    return timeout;
}
