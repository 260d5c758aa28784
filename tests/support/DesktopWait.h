#pragma once
// Tests that need a window wait for the desktop to take it.
#include <functional>

#include <windows.h>

// The window `make` creates, made again (for at most a minute) while it
// fails. On a fresh prefix on a busy machine the prefix's desktop process
// may still be starting when the first test asks for a window, and
// CreateWindow fails until it runs; a null window after a minute stays a
// failure of the test.
HWND MakeWindowWhenDesktopIsUp(const std::function<HWND()>& make);
