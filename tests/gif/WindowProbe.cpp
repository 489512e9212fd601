#include "tests/gif/WindowProbe.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <set>

size_t Pixels::DistinctColours() const
{
    return std::set<COLORREF>(colours.begin(), colours.end()).size();
}

namespace {

Pixels CaptureFrom(HDC hSource, int x, int y, int cx, int cy)
{
    Pixels p;
    if (!hSource || cx <= 0 || cy <= 0)
        return p;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;   // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *pBits = nullptr;
    HBITMAP hBitmap = CreateDIBSection(hSource, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HDC hMemory = CreateCompatibleDC(hSource);
    if (hBitmap && hMemory && pBits) {
        HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
        BitBlt(hMemory, 0, 0, cx, cy, hSource, x, y, SRCCOPY);
        GdiFlush();
        SelectObject(hMemory, hOld);
        p.cx = cx;
        p.cy = cy;
        p.colours.resize(static_cast<size_t>(cx) * cy);
        const uint32_t *pRow = static_cast<const uint32_t *>(pBits);
        for (size_t i = 0; i < p.colours.size(); ++i) {
            const uint32_t bgr = pRow[i];   // 0x00RRGGBB in memory order B, G, R
            p.colours[i] = RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
        }
    }
    if (hMemory)
        DeleteDC(hMemory);
    if (hBitmap)
        DeleteObject(hBitmap);
    return p;
}

} // namespace

Pixels CaptureClient(HWND hWnd)
{
    RECT rc = {};
    GetClientRect(hWnd, &rc);
    HDC hDC = GetDC(hWnd);
    Pixels p = CaptureFrom(hDC, 0, 0, rc.right, rc.bottom);
    ReleaseDC(hWnd, hDC);
    return p;
}

Pixels CaptureScreen(const RECT &rcScreen)
{
    HDC hDC = GetDC(nullptr);
    Pixels p = CaptureFrom(hDC, rcScreen.left, rcScreen.top, rcScreen.right - rcScreen.left,
                           rcScreen.bottom - rcScreen.top);
    ReleaseDC(nullptr, hDC);
    return p;
}

void PumpMessages(DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

std::vector<DWORD> ThreadIds()
{
    std::vector<DWORD> ids;
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return ids;
    THREADENTRY32 te = {};
    te.dwSize = sizeof(te);
    for (BOOL ok = Thread32First(hSnap, &te); ok; ok = Thread32Next(hSnap, &te))
        if (te.th32OwnerProcessID == GetCurrentProcessId())
            ids.push_back(te.th32ThreadID);
    CloseHandle(hSnap);
    std::sort(ids.begin(), ids.end());
    return ids;
}

DWORD NewThreadId(const std::vector<DWORD> &before)
{
    DWORD found = 0;
    int count = 0;
    for (DWORD id : ThreadIds()) {
        if (!std::binary_search(before.begin(), before.end(), id)) {
            found = id;
            ++count;
        }
    }
    return count == 1 ? found : 0;
}

double ThreadCpuSeconds(DWORD nThreadId)
{
    HANDLE h = OpenThread(THREAD_QUERY_INFORMATION, FALSE, nThreadId);
    if (!h)
        return -1;
    FILETIME created, exited, kernel, user;
    double seconds = -1;
    if (GetThreadTimes(h, &created, &exited, &kernel, &user)) {
        auto value = [](const FILETIME &ft) {
            return static_cast<double>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 1e7;
        };
        seconds = value(kernel) + value(user);
    }
    CloseHandle(h);
    return seconds;
}

bool ThreadEnded(DWORD nThreadId, DWORD nWaitMs)
{
    HANDLE h = OpenThread(SYNCHRONIZE, FALSE, nThreadId);
    if (!h)
        return true;
    const bool ended = WaitForSingleObject(h, nWaitMs) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

HGLOBAL GlobalCopy(const std::vector<uint8_t> &bytes)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size() ? bytes.size() : 1);
    if (!h)
        return nullptr;
    void *p = GlobalLock(h);
    if (!bytes.empty())
        memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
}
