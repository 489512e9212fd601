// What the picture tests and the spinner benchmark read from outside a control: its pixels as
// painted, the threads of this process and their CPU time, and a message pump that keeps
// this thread's windows painting while a test waits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// The pixels of a rectangle, row by row, as COLORREF values.
struct Pixels {
    int cx = 0;
    int cy = 0;
    std::vector<COLORREF> colours;

    COLORREF At(int x, int y) const { return colours[static_cast<size_t>(y) * cx + x]; }
    size_t DistinctColours() const;
    bool operator==(const Pixels &o) const { return cx == o.cx && cy == o.cy && colours == o.colours; }
    bool operator!=(const Pixels &o) const { return !(*this == o); }
};

// A picture as captured after it changed: when (ms since watching began) and what it showed.
struct PictureChange {
    DWORD ms;
    Pixels pixels;
};

// The client area of a window of this process as it last painted it.
Pixels CaptureClient(HWND hWnd);
// A rectangle of the screen (any process's windows).
Pixels CaptureScreen(const RECT &rcScreen);

// Dispatches this thread's messages for ms milliseconds.
void PumpMessages(DWORD ms);

// Ids of this process's threads.
std::vector<DWORD> ThreadIds();
// The one thread in ThreadIds() that is not in before; 0 when there is not exactly one.
DWORD NewThreadId(const std::vector<DWORD> &before);
// User and kernel time a thread of this process has used, in seconds; -1 when unknown.
double ThreadCpuSeconds(DWORD nThreadId);
// Whether a thread of this process has ended (or never was).
bool ThreadEnded(DWORD nThreadId, DWORD nWaitMs = 0);

// A movable global block holding the bytes; the caller frees it.
HGLOBAL GlobalCopy(const std::vector<uint8_t> &bytes);
