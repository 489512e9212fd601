// The running tool's main window, found by a second start so that it can bring it to the
// front instead of opening a second one.
#pragma once

#include <windows.h>

// Marks hWnd as the tool's main window (a window property, removed with the window).
void TagMainWindow(HWND hWnd);

// Brings the main window of a running tool (or the message box it shows) to the front.
// Waits up to timeoutMs for the window to appear; false when there is none.
bool RaiseRunningWindow(DWORD timeoutMs);
