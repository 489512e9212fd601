// Where the painted title goes in a window's caption bar, in window coordinates (origin at
// the window's top-left corner, frame included). Plain geometry, no windows.h.
#pragma once

// The system metrics the band depends on, in pixels.
struct CaptionMetrics {
    int cxFrame;      // SM_CXFRAME
    int cyDlgFrame;   // SM_CYDLGFRAME
    int cxSize;       // SM_CXSIZE, one caption button
    int cyCaption;    // SM_CYCAPTION
    int cxSmIcon;     // SM_CXSMICON
};

struct CaptionRect {
    int left, top, right, bottom;
};

// The text band of a window cxWindow pixels wide: it starts after the small icon when the
// window has one and leaves room for three caption buttons at the right, whatever buttons
// the window really shows.
CaptionRect ComputeCaptionRect(int cxWindow, bool bHasSmallIcon, const CaptionMetrics &m);
