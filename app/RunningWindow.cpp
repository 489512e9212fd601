#include "app/RunningWindow.h"

namespace {

const wchar_t MAIN_WINDOW_PROP[] = L"HalvexFix.MainWindow";

BOOL CALLBACK FindTagged(HWND hWnd, LPARAM lParam)
{
    if (GetPropW(hWnd, MAIN_WINDOW_PROP)) {
        *reinterpret_cast<HWND *>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

void TagMainWindow(HWND hWnd)
{
    // The property holds no resource: it goes with the window.
    SetPropW(hWnd, MAIN_WINDOW_PROP, reinterpret_cast<HANDLE>(1));
}

bool RaiseRunningWindow(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND hWnd = nullptr;
        EnumWindows(FindTagged, reinterpret_cast<LPARAM>(&hWnd));
        if (hWnd) {
            if (IsIconic(hWnd))
                ShowWindowAsync(hWnd, SW_RESTORE);
            // A message box of the running tool comes up with its window.
            HWND hActive = GetLastActivePopup(hWnd);
            SetForegroundWindow(hActive ? hActive : hWnd);
            return true;
        }
        // The other run may be starting: its window exists only once its checks begin.
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(100);
    }
}
