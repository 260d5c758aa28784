#include "DesktopWait.h"

HWND MakeWindowWhenDesktopIsUp(const std::function<HWND()>& make)
{
    const DWORD kLimit = 60000, kPause = 200;
    HWND window = make();
    for (DWORD waited = 0; !window && waited < kLimit; waited += kPause) {
        Sleep(kPause);
        window = make();
    }
    return window;
}
