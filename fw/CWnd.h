// A window object over one window handle. Windows whose procedure is replaced by
// SubclassWindow (or that a dialog hooks at creation) send every message through the one
// shared procedure, which finds the object in the handle map and walks its message table.
#pragma once

#include <windows.h>

#include "fw/CAccessibleProxy.h"
#include "fw/CCmdTarget.h"
#include "fw/CDC.h"
#include "fw/CPoint.h"
#include "fw/CRect.h"
#include "fw/CString.h"

class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    HWND m_hWnd;
    // Set by a window class that answers accessibility clients itself (null: the system's
    // standard objects answer).
    CAccessibleProxy::Owner *m_pAccessibleOwner;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object serving hWnd, or null.
    static CWnd *FromHandlePermanent(HWND hWnd);
    // The serving object, or a temporary one that lives until DeleteTempMap (the modal
    // loop calls it when idle). Do not keep the pointer.
    static CWnd *FromHandle(HWND hWnd);
    static void DeleteTempMap();

    // Attach/Detach only map the handle; SubclassWindow also routes the window's messages
    // here, calling PreSubclassWindow first.
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd *pParent);
    HWND UnsubclassWindow();
    virtual void PreSubclassWindow();

    // Creates the window, then subclasses it (WM_NCCREATE and WM_CREATE are not seen).
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                  int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu);
    virtual BOOL DestroyWindow();

    // Message handling.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT *pResult);
    // A notification the parent hands back to this control; TRUE when it was handled here.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *pResult);
    virtual BOOL PreTranslateMessage(MSG *pMsg);
    virtual void PostNcDestroy();
    // The message being handled, passed to the original procedure.
    LRESULT Default();
    static const MSG *GetCurrentMessage();

    // Hands a notification to the object serving hWndChild, if there is one.
    static BOOL ReflectLastMsg(HWND hWndChild, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT *pResult);
    // Offers the children under hWndStop, innermost first, the chance to pre-translate.
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG *pMsg);

    // Plain wrappers.
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE)
    {
        ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
    }
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE)
    {
        ::MoveWindow(m_hWnd, lpRect->left, lpRect->top, lpRect->right - lpRect->left,
                     lpRect->bottom - lpRect->top, bRepaint);
    }
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
    {
        return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
    }
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
    void ScreenToClient(LPPOINT lpPoint) const { ::ScreenToClient(m_hWnd, lpPoint); }
    void ScreenToClient(LPRECT lpRect) const
    {
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
    }
    void ClientToScreen(LPPOINT lpPoint) const { ::ClientToScreen(m_hWnd, lpPoint); }
    void ClientToScreen(LPRECT lpRect) const
    {
        ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(lpRect), 2);
    }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE)
    {
        ::InvalidateRect(m_hWnd, lpRect, bErase);
    }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(LPCRECT lpRect = nullptr, HRGN hRgn = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    {
        return ::RedrawWindow(m_hWnd, lpRect, hRgn, flags);
    }
    CWnd *GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    // Texts are the tool's GBK; the window holds them as UTF-16.
    void SetDlgItemText(int nID, LPCSTR lpszString);
    void SetWindowText(LPCSTR lpszString);
    void GetWindowText(CString &rString) const;
    // In UTF-16 units: zero exactly when the window has no text.
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    CWnd *GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const
    {
        return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
    }
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        return reinterpret_cast<HICON>(
            SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
    }
    CWnd *SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr)
    {
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
    }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
    HDC GetDC() { return ::GetDC(m_hWnd); }
    int ReleaseDC(HDC hDC) { return ::ReleaseDC(m_hWnd, hDC); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)); }
    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }

protected:
    WNDPROC m_pfnSuper;   // the procedure the window had before it was subclassed

    static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Runs one message through WindowProc; nothing thrown gets past it.
    LRESULT RouteMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *pResult);

    afx_msg HBRUSH OnCtlColor(class CDC *pDC, CWnd *pWnd, UINT nCtlColor);
    afx_msg void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
    afx_msg void OnDestroy();
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC *pDC);
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg HCURSOR OnQueryDragIcon();

    DECLARE_MESSAGE_MAP()

private:
    void CleanUpAfterNcDestroy();
};

// A CDC over a device context that somebody else owns (the one a message carries).
class CTempDC : public CDC {
public:
    explicit CTempDC(HDC hDC) { m_hDC = hDC; }
    ~CTempDC() override { m_hDC = nullptr; }
};

// Window message entries. Handler signatures follow the message:
#define ON_WM_PAINT()                                                                           \
    {WM_PAINT, 0, 0, 0, AFX_THUNK(AFX_THIS()->OnPaint(); *pResult = 0; return TRUE;)},
#define ON_WM_ERASEBKGND()                                                                      \
    {WM_ERASEBKGND, 0, 0, 0,                                                                   \
     AFX_THUNK(CTempDC dc(reinterpret_cast<HDC>(wParam));                                      \
               *pResult = AFX_THIS()->OnEraseBkgnd(wParam ? &dc : nullptr); return TRUE;)},
// HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor), for all six WM_CTLCOLOR* messages.
#define ON_WM_CTLCOLOR()                                                                        \
    {WM_CTLCOLOR, 0, 0, 0,                                                                     \
     AFX_THUNK(CTempDC dc(reinterpret_cast<HDC>(wParam));                                      \
               *pResult = reinterpret_cast<LRESULT>(AFX_THIS()->OnCtlColor(                    \
                   &dc, CWnd::FromHandle(reinterpret_cast<HWND>(lParam)),                      \
                   nMessage - WM_CTLCOLORMSGBOX));                                             \
               return TRUE;)},
#define ON_WM_DRAWITEM()                                                                        \
    {WM_DRAWITEM, 0, 0, 0,                                                                     \
     AFX_THUNK(AFX_THIS()->OnDrawItem(static_cast<int>(wParam),                                \
                                      reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));             \
               *pResult = TRUE; return TRUE;)},
#define ON_WM_DESTROY()                                                                         \
    {WM_DESTROY, 0, 0, 0, AFX_THUNK(AFX_THIS()->OnDestroy(); *pResult = 0; return TRUE;)},
#define ON_WM_SYSCOMMAND()                                                                      \
    {WM_SYSCOMMAND, 0, 0, 0,                                                                   \
     AFX_THUNK(AFX_THIS()->OnSysCommand(static_cast<UINT>(wParam), lParam); *pResult = 0;      \
               return TRUE;)},
#define ON_WM_QUERYDRAGICON()                                                                   \
    {WM_QUERYDRAGICON, 0, 0, 0,                                                                \
     AFX_THUNK(*pResult = reinterpret_cast<LRESULT>(AFX_THIS()->OnQueryDragIcon()); return TRUE;)},
#define AFX_MOUSE_ENTRY(msg, memberFxn)                                                         \
    {msg, 0, 0, 0,                                                                             \
     AFX_THUNK(AFX_THIS()->memberFxn(static_cast<UINT>(wParam), CPoint(lParam)); *pResult = 0; \
               return TRUE;)},
#define ON_WM_MOUSEMOVE() AFX_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() AFX_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_LBUTTONDBLCLK, OnLButtonDblClk)
// LRESULT OnMouseLeave(WPARAM, LPARAM)
#define ON_WM_MOUSELEAVE() ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
#define ON_WM_TIMER()                                                                           \
    {WM_TIMER, 0, 0, 0,                                                                        \
     AFX_THUNK(AFX_THIS()->OnTimer(static_cast<UINT_PTR>(wParam)); *pResult = 0; return TRUE;)},
#define ON_WM_SIZE()                                                                            \
    {WM_SIZE, 0, 0, 0,                                                                         \
     AFX_THUNK(AFX_THIS()->OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));  \
               *pResult = 0; return TRUE;)},
#define ON_WM_SETCURSOR()                                                                       \
    {WM_SETCURSOR, 0, 0, 0,                                                                    \
     AFX_THUNK(*pResult = AFX_THIS()->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), \
                                                  LOWORD(lParam), HIWORD(lParam));             \
               return TRUE;)},
#define ON_WM_ENABLE()                                                                          \
    {WM_ENABLE, 0, 0, 0,                                                                       \
     AFX_THUNK(AFX_THIS()->OnEnable(static_cast<BOOL>(wParam)); *pResult = 0; return TRUE;)},

// Entries a control uses for notifications its parent reflects back to it.
// HBRUSH CtlColor(CDC *pDC, UINT nCtlColor); a null brush leaves the parent's answer.
#define ON_WM_CTLCOLOR_REFLECT()                                                                \
    {WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0, 0,                                                   \
     AFX_THUNK(CTempDC dc(reinterpret_cast<HDC>(wParam));                                      \
               HBRUSH hbr = AFX_THIS()->CtlColor(&dc, nMessage - WM_CTLCOLORMSGBOX);           \
               if (!hbr) return FALSE;                                                         \
               *pResult = reinterpret_cast<LRESULT>(hbr); return TRUE;)},
// void memberFxn()
#define ON_CONTROL_REFLECT(code, memberFxn)                                                     \
    {WM_REFLECT_BASE + WM_COMMAND, (UINT)(code), 0, 0,                                         \
     AFX_THUNK(AFX_THIS()->memberFxn(); *pResult = 0; return TRUE;)},
// void memberFxn(NMHDR *pNotifyStruct, LRESULT *pResult)
#define ON_NOTIFY_REFLECT(code, memberFxn)                                                      \
    {WM_REFLECT_BASE + WM_NOTIFY, (UINT)(code), 0, 0,                                          \
     AFX_THUNK(*pResult = 0; AFX_THIS()->memberFxn(reinterpret_cast<NMHDR *>(lParam), pResult); \
               return TRUE;)},
