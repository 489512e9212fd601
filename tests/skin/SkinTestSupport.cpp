#include "tests/skin/SkinTestSupport.h"

#include <cstdio>

#include "fw/CWnd.h"

namespace {

Picture FromBits(const void *pBits, int stride, int cx, int cy)
{
    Picture p;
    p.cx = cx;
    p.cy = cy;
    p.pixels.resize(static_cast<size_t>(cx) * cy);
    for (int y = 0; y < cy; ++y) {
        const DWORD *row = reinterpret_cast<const DWORD *>(static_cast<const BYTE *>(pBits) + y * stride);
        for (int x = 0; x < cx; ++x) {
            const DWORD v = row[x];   // 0x00RRGGBB in a top-down 32-bit DIB
            p.pixels[static_cast<size_t>(y) * cx + x] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
        }
    }
    return p;
}

bool RunUnix(const std::string &args)
{
    // Wine starts Unix programs from their Unix path; it gives no handle to wait on.
    std::string cmd = "\"Z:\\usr\\bin\\xdotool\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hThread)
        ::CloseHandle(pi.hThread);
    if (pi.hProcess)
        ::CloseHandle(pi.hProcess);
    return true;
}

} // namespace

HBITMAP CreateDib(HDC hdc, int cx, int cy, void **ppBits)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return ::CreateDIBSection(hdc, &bi, DIB_RGB_COLORS, ppBits, nullptr, 0);
}

std::string Picture::Save(const std::string &name) const
{
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return path;
    std::fprintf(f, "P6\n%d %d\n255\n", cx, cy);
    for (COLORREF c : pixels) {
        const unsigned char rgb[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
    return path;
}

CScreenGrabber::CScreenGrabber(int cxMax, int cyMax)
    : m_hScreen(::GetDC(nullptr)), m_hMem(::CreateCompatibleDC(m_hScreen)), m_hBitmap(nullptr),
      m_hOld(nullptr), m_pBits(nullptr), m_cxMax(cxMax), m_cyMax(cyMax)
{
    m_hBitmap = CreateDib(m_hScreen, cxMax, cyMax, &m_pBits);
    m_hOld = ::SelectObject(m_hMem, m_hBitmap);
}

CScreenGrabber::~CScreenGrabber()
{
    ::SelectObject(m_hMem, m_hOld);
    ::DeleteObject(m_hBitmap);
    ::DeleteDC(m_hMem);
    ::ReleaseDC(nullptr, m_hScreen);
}

Picture CScreenGrabber::Grab(const RECT &rc) const
{
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0 || cx > m_cxMax || cy > m_cyMax || !m_pBits)
        return Picture();
    ::BitBlt(m_hMem, 0, 0, cx, cy, m_hScreen, rc.left, rc.top, SRCCOPY);
    ::GdiFlush();
    return FromBits(m_pBits, m_cxMax * 4, cx, cy);
}

Picture CaptureClient(HWND hWnd)
{
    RECT rc = {};
    ::GetClientRect(hWnd, &rc);
    ::MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT *>(&rc), 2);
    return CScreenGrabber().Grab(rc);
}

Picture CaptureWindow(HWND hWnd)
{
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    return CScreenGrabber().Grab(rc);
}

Picture CaptureSettled(HWND hWnd, bool bClientOnly, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    PumpMessages(60);
    Picture last = bClientOnly ? CaptureClient(hWnd) : CaptureWindow(hWnd);
    for (;;) {
        PumpMessages(60);
        Picture now = bClientOnly ? CaptureClient(hWnd) : CaptureWindow(hWnd);
        if (now == last || ::GetTickCount() - start > timeoutMs)
            return now;
        last = now;
    }
}

Picture ExpectedFace(UINT nBitmapId, int cx, int cy)
{
    Picture face;
    HBITMAP hImage = static_cast<HBITMAP>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nBitmapId), IMAGE_BITMAP, 0, 0, 0));
    if (!hImage || cx <= 0 || cy <= 0)
        return face;
    BITMAP bm = {};
    ::GetObjectA(hImage, sizeof(bm), &bm);
    const int w = bm.bmWidth;
    const int h = bm.bmHeight;

    // The image at the button's height, as GDI stretches it in its default mode.
    HDC hScreen = ::GetDC(nullptr);
    HDC hSrc = ::CreateCompatibleDC(hScreen);
    HDC hDst = ::CreateCompatibleDC(hScreen);
    void *pBits = nullptr;
    HBITMAP hTall = CreateDib(hScreen, w, cy, &pBits);
    HGDIOBJ hOldSrc = ::SelectObject(hSrc, hImage);
    HGDIOBJ hOldDst = ::SelectObject(hDst, hTall);
    ::StretchBlt(hDst, 0, 0, w, cy, hSrc, 0, 0, w, h, SRCCOPY);
    ::GdiFlush();
    const Picture tall = FromBits(pBits, w * 4, w, cy);
    ::SelectObject(hSrc, hOldSrc);
    ::SelectObject(hDst, hOldDst);
    ::DeleteObject(hTall);
    ::DeleteDC(hDst);
    ::DeleteDC(hSrc);
    ::ReleaseDC(nullptr, hScreen);
    ::DeleteObject(hImage);

    face.cx = cx;
    face.cy = cy;
    face.pixels.resize(static_cast<size_t>(cx) * cy);
    const int k = (cx < w ? cx : w) / 2;
    for (int x = 0; x < cx; ++x) {
        int col;
        if (cx == w)
            col = x;
        else if (x < k)
            col = x;
        else if (x >= cx - k)
            col = w - (cx - x);
        else
            col = w / 2;
        for (int y = 0; y < cy; ++y)
            face.pixels[static_cast<size_t>(y) * cx + x] = tall.At(col, y);
    }
    return face;
}

PictureDiff Compare(const Picture &a, const Picture &b)
{
    PictureDiff d;
    if (a.cx != b.cx || a.cy != b.cy) {
        d.nDiffering = -1;
        return d;
    }
    for (int y = 0; y < a.cy; ++y)
        for (int x = 0; x < a.cx; ++x) {
            if (a.At(x, y) == b.At(x, y))
                continue;
            if (d.nDiffering++ == 0) {
                ::SetRect(&d.rcBounds, x, y, x + 1, y + 1);
            } else {
                d.rcBounds.left = x < d.rcBounds.left ? x : d.rcBounds.left;
                d.rcBounds.right = x + 1 > d.rcBounds.right ? x + 1 : d.rcBounds.right;
                d.rcBounds.bottom = y + 1;
            }
        }
    return d;
}

int CountColor(const Picture &p, COLORREF cr)
{
    int n = 0;
    for (COLORREF c : p.pixels)
        n += c == cr;
    return n;
}

void PumpMessages(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            HWND hTop = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
            if (!CWnd::WalkPreTranslateTree(hTop, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        if (done())
            return true;
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed < 10 ? timeoutMs - elapsed : 10,
                                    QS_ALLINPUT);
    }
}

bool MovePointer(int x, int y)
{
    if (!RunUnix("mousemove " + std::to_string(x) + " " + std::to_string(y)))
        return false;
    return PumpUntil(
        [&] {
            POINT pt = {};
            return ::GetCursorPos(&pt) && pt.x == x && pt.y == y;
        },
        5000);
}

bool PressMouseButton(bool bDown)
{
    const SHORT before = ::GetAsyncKeyState(VK_LBUTTON);
    (void)before;
    if (!RunUnix(bDown ? "mousedown 1" : "mouseup 1"))
        return false;
    return PumpUntil([&] { return ((::GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0) == bDown; }, 5000);
}

POINT FarCorner()
{
    return POINT{::GetSystemMetrics(SM_CXSCREEN) - 3, ::GetSystemMetrics(SM_CYSCREEN) - 3};
}

std::vector<HWND> WindowsOfClass(const char *pszClass, bool bVisibleOnly)
{
    struct Search {
        const char *pszClass;
        bool bVisibleOnly;
        std::vector<HWND> found;
    } search = {pszClass, bVisibleOnly, {}};
    ::EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            Search *s = reinterpret_cast<Search *>(lParam);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hWnd, &pid);
            char cls[64] = {};
            ::GetClassNameA(hWnd, cls, sizeof(cls));
            if (pid == ::GetCurrentProcessId() && lstrcmpiA(cls, s->pszClass) == 0 &&
                (!s->bVisibleOnly || ::IsWindowVisible(hWnd)))
                s->found.push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}
