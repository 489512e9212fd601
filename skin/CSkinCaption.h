// Paints a title of the program's own over a window's system caption bar, in the user's
// caption font, each time the system has drawn the frame or changed its activation. It
// does so from a window procedure put in front of the window's own; one procedure serves
// every such window and finds its painter in g_mapSkinnedWindows.
#pragma once

#include <windows.h>

#include "fw/CMapPtrToPtr.h"
#include "fw/CString.h"

// Window handle -> the CSkinCaption serving it. Used on the user-interface thread only.
extern CMapPtrToPtr g_mapSkinnedWindows;

class CSkinCaption {
public:
    CSkinCaption();
    CSkinCaption(const CSkinCaption &) = delete;
    CSkinCaption &operator=(const CSkinCaption &) = delete;
    virtual ~CSkinCaption();

    // The text drawn from the next painting on; nothing is repainted now.
    void SetCaption(const CString &strCaption);
    // Starts serving hWnd. Nothing happens when the window is already served (by any
    // painter), this painter already serves a window, or the procedure cannot be replaced.
    void Subclass(HWND hWnd);
    // Gives the window its own procedure back. The owner calls it while the window still
    // exists; a window that ends first is let go of when it ends.
    void Unsubclass();

    static LRESULT CALLBACK SkinWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    void PaintCaption();
    // The user's caption font as the desktop settings store it; FALSE unless a value of
    // exactly the record's size was read.
    BOOL ReadCaptionFont(LOGFONTW *pLogFont);
    // The text band, in window coordinates.
    void GetCaptionRect(RECT *pRect);

    // Drops the registry entry and forgets the window, without touching its procedure.
    void Detach();

    WNDPROC m_pfnOldWndProc;   // the window's procedure before Subclass
    HWND m_hWnd;               // the window served; null when detached
    CString m_strCaption;
};
