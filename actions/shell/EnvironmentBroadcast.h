#pragma once
#include "core/CString.h"

// "1", "true" or "yes" in any case, untrimmed, ask for the broadcast.
bool IsBroadcastWord(const CString& word);

// The broadcast time-out in milliseconds: an unsigned decimal number, or
// 5000 when the text is empty or does not parse.
unsigned BroadcastTimeout(const CString& text);
