// What the skin tests share: pictures of the screen, the face a button should show, the
// real X pointer (moved with xdotool on the session's display) and message pumping.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A 32-bit picture, as COLORREF values (0x00BBGGRR).
struct Picture {
    int cx = 0;
    int cy = 0;
    std::vector<COLORREF> pixels;

    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * cx + x]; }
    bool operator==(const Picture &o) const { return cx == o.cx && cy == o.cy && pixels == o.pixels; }
    bool operator!=(const Picture &o) const { return !(*this == o); }
    // Saved as a PPM file named name in the temporary directory, for looking at a failure;
    // returns the file's path.
    std::string Save(const std::string &name) const;
};

// A top-down 32-bit DIB section of cx x cy; *ppBits receives its pixels (0x00RRGGBB).
HBITMAP CreateDib(HDC hdc, int cx, int cy, void **ppBits);

// Reads the screen into a DC and bitmap made once, so a capture creates no GDI object.
class CScreenGrabber {
public:
    explicit CScreenGrabber(int cxMax = 1024, int cyMax = 768);
    ~CScreenGrabber();
    CScreenGrabber(const CScreenGrabber &) = delete;
    CScreenGrabber &operator=(const CScreenGrabber &) = delete;

    Picture Grab(const RECT &rcScreen) const;

private:
    HDC m_hScreen;
    HDC m_hMem;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOld;
    void *m_pBits;
    int m_cxMax, m_cyMax;
};

// The screen inside a window's client area or its window rectangle.
Picture CaptureClient(HWND hWnd);
Picture CaptureWindow(HWND hWnd);
// Pumps messages until two captures a little apart agree (the window surface reached the
// screen), at most timeoutMs; returns the last capture.
Picture CaptureSettled(HWND hWnd, bool bClientOnly = true, DWORD timeoutMs = 3000);

// The face a cx x cy button should show for a state image: image columns chosen as the
// three-slice rule says (written out here on its own), the image's height stretched by GDI.
Picture ExpectedFace(UINT nBitmapId, int cx, int cy);

// Pixels where the two pictures differ, and their bounding box (empty when none).
struct PictureDiff {
    int nDiffering = 0;
    RECT rcBounds = {0, 0, 0, 0};
};
PictureDiff Compare(const Picture &a, const Picture &b);
int CountColor(const Picture &p, COLORREF cr);

// Runs one message the way the framework's modal loop does (controls pre-translate).
void PumpMessages(DWORD ms);
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs);

// The X server's pointer and buttons (xdotool). The pointer helpers wait until Wine reports
// the cursor where it was sent.
bool MovePointer(int x, int y);
bool PressMouseButton(bool bDown);
// A point of the screen nothing of the tests covers.
POINT FarCorner();

// Top-level windows of this process of a class, visible ones only when asked.
std::vector<HWND> WindowsOfClass(const char *pszClass, bool bVisibleOnly);
