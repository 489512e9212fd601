#include "fw/CWnd.h"

#include "fw/CAccessibleProxy.h"
#include "fw/TextConversion.h"

#include <unordered_map>

namespace {
// Window objects belong to the thread that created their windows, as the windows do.
thread_local std::unordered_map<HWND, CWnd *> *t_permanent = nullptr;
thread_local std::unordered_map<HWND, CWnd *> *t_temporary = nullptr;
thread_local MSG t_current = {};

std::unordered_map<HWND, CWnd *> &PermanentMap()
{
    if (!t_permanent)
        t_permanent = new std::unordered_map<HWND, CWnd *>;
    return *t_permanent;
}

std::unordered_map<HWND, CWnd *> &TemporaryMap()
{
    if (!t_temporary)
        t_temporary = new std::unordered_map<HWND, CWnd *>;
    return *t_temporary;
}
} // namespace

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
    ON_WM_CTLCOLOR()
    ON_WM_DRAWITEM()
END_MESSAGE_MAP()

CWnd::CWnd() : m_hWnd(nullptr), m_pAccessibleOwner(nullptr), m_pfnSuper(nullptr) {}

CWnd::~CWnd()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) {
        // The window outlives no object that serves it.
        if (::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId())
            ::DestroyWindow(m_hWnd);
        if (m_hWnd) {
            UnsubclassWindow();
            Detach();
        }
    }
}

CWnd *CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!hWnd || !t_permanent)
        return nullptr;
    auto it = t_permanent->find(hWnd);
    return it == t_permanent->end() ? nullptr : it->second;
}

CWnd *CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    if (CWnd *p = FromHandlePermanent(hWnd))
        return p;
    auto &temp = TemporaryMap();
    auto it = temp.find(hWnd);
    if (it != temp.end())
        return it->second;
    CWnd *p = new CWnd;
    p->m_hWnd = hWnd;
    temp[hWnd] = p;
    return p;
}

void CWnd::DeleteTempMap()
{
    if (!t_temporary)
        return;
    std::unordered_map<HWND, CWnd *> temp;
    temp.swap(*t_temporary);
    for (auto &entry : temp) {
        entry.second->m_hWnd = nullptr;
        delete entry.second;
    }
}

BOOL CWnd::Attach(HWND hWndNew)
{
    if (!hWndNew || m_hWnd || FromHandlePermanent(hWndNew))
        return FALSE;
    PermanentMap()[hWndNew] = this;
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND h = m_hWnd;
    if (h && t_permanent) {
        auto it = t_permanent->find(h);
        if (it != t_permanent->end() && it->second == this)
            t_permanent->erase(it);
    }
    m_hWnd = nullptr;
    return h;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    LONG_PTR old = ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc));
    if (!old) {
        Detach();
        return FALSE;
    }
    m_pfnSuper = reinterpret_cast<WNDPROC>(old);
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd *pParent)
{
    HWND hWndControl = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID));
    return hWndControl ? SubclassWindow(hWndControl) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    if (m_pfnSuper) {
        // Put the old procedure back only if nobody has replaced ours in the meantime.
        if (::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&AfxWndProc))
            ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        m_pfnSuper = nullptr;
    }
    return Detach();
}

void CWnd::PreSubclassWindow() {}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu)
{
    // Class names are ASCII or atoms; the window name is a text of the tool's.
    const WideText className = IS_INTRESOURCE(lpszClassName) ? WideText() : ToolToWide(lpszClassName);
    const WideText windowName = ToolToWide(lpszWindowName);
    LPCWSTR lpszClass = IS_INTRESOURCE(lpszClassName) ? reinterpret_cast<LPCWSTR>(lpszClassName)
                                                      : className.data();
    HWND hWnd = ::CreateWindowExW(dwExStyle, lpszClass, lpszWindowName ? windowName.data() : nullptr,
                                  dwStyle, x, y, nWidth, nHeight, hWndParent, nIDorHMenu,
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!hWnd)
        return FALSE;
    if (!SubclassWindow(hWnd)) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd *pWnd = FromHandlePermanent(hWnd);
    if (!pWnd)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    return pWnd->RouteMessage(message, wParam, lParam);
}

LRESULT CWnd::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A window that speaks for itself answers accessibility clients before anything else.
    if (message == WM_GETOBJECT || message == WM_NCDESTROY) {
        if (CAccessibleProxy::Owner *pOwner = m_pAccessibleOwner) {
            LRESULT result = 0;
            if (message == WM_NCDESTROY)
                pOwner->DisconnectAccessible();
            else if (pOwner->AnswerGetObject(m_hWnd, wParam, lParam, &result))
                return result;
        }
    }
    const MSG saved = t_current;
    t_current.hwnd = m_hWnd;
    t_current.message = message;
    t_current.wParam = wParam;
    t_current.lParam = lParam;
    LRESULT result = 0;
    try {
        result = WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's frames.
        result = 0;
    }
    t_current = saved;
    if (message == WM_NCDESTROY && m_hWnd) {
        CleanUpAfterNcDestroy();
        try {
            PostNcDestroy();   // may delete this
        } catch (...) {
        }
    }
    return result;
}

void CWnd::CleanUpAfterNcDestroy()
{
    UnsubclassWindow();
}

void CWnd::PostNcDestroy() {}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 0;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        LRESULT result = 0;
        if (!OnNotify(wParam, lParam, &result))
            return FALSE;
        *pResult = result;
        return TRUE;
    }
    UINT match = message;
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC)
        match = WM_CTLCOLOR;
    return DispatchFromMap(match, 0, 0, message, wParam, lParam, pResult);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam);
}

const MSG *CWnd::GetCurrentMessage()
{
    return &t_current;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT nID = LOWORD(wParam);
    int nCode = HIWORD(wParam);
    HWND hWndCtrl = reinterpret_cast<HWND>(lParam);
    LRESULT result = 0;
    if (hWndCtrl) {
        // The control gets the first say over its own notification.
        if (ReflectLastMsg(hWndCtrl, WM_COMMAND, wParam, lParam, &result))
            return TRUE;
    } else {
        nCode = 0;   // menus and accelerators alike
    }
    return OnCmdMsg(nID, nCode, &result);
}

BOOL CWnd::OnNotify(WPARAM /*wParam*/, LPARAM lParam, LRESULT *pResult)
{
    const NMHDR *pNMHDR = reinterpret_cast<const NMHDR *>(lParam);
    if (!pNMHDR)
        return FALSE;
    if (ReflectLastMsg(pNMHDR->hwndFrom, WM_NOTIFY, pNMHDR->idFrom, lParam, pResult))
        return TRUE;
    return DispatchFromMap(WM_NOTIFY, pNMHDR->code, static_cast<UINT>(pNMHDR->idFrom), WM_NOTIFY,
                           pNMHDR->idFrom, lParam, pResult);
}

BOOL CWnd::ReflectLastMsg(HWND hWndChild, UINT message, WPARAM wParam, LPARAM lParam,
                          LRESULT *pResult)
{
    CWnd *pChild = FromHandlePermanent(hWndChild);
    if (!pChild)
        return FALSE;
    return pChild->OnChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *pResult)
{
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *pResult)
{
    UINT match = message;
    UINT nCode = 0;
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC)
        match = WM_CTLCOLOR;
    else if (message == WM_COMMAND)
        nCode = HIWORD(wParam);
    else if (message == WM_NOTIFY)
        nCode = reinterpret_cast<const NMHDR *>(lParam)->code;
    return DispatchFromMap(WM_REFLECT_BASE + match, nCode, 0, message, wParam, lParam, pResult);
}

BOOL CWnd::PreTranslateMessage(MSG * /*pMsg*/)
{
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG *pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd; hWnd = ::GetParent(hWnd)) {
        CWnd *pWnd = FromHandlePermanent(hWnd);
        if (pWnd && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hWndStop)
            break;
    }
    return FALSE;
}

void CWnd::GetWindowText(CString &rString) const
{
    const int len = ::GetWindowTextLengthW(m_hWnd);
    WideText text(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
    const int got = ::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()));
    rString = WideToTool(text.data(), got > 0 ? got : 0).c_str();
}

void CWnd::SetWindowText(LPCSTR lpszString)
{
    ::SetWindowTextW(m_hWnd, ToolToWide(lpszString).data());
}

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString)
{
    ::SetDlgItemTextW(m_hWnd, nID, ToolToWide(lpszString).data());
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    const DWORD style = GetStyle();
    const DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
    if (nFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

HBRUSH CWnd::OnCtlColor(CDC *pDC, CWnd *pWnd, UINT /*nCtlColor*/)
{
    LRESULT result = 0;
    const MSG *pMsg = GetCurrentMessage();
    if (pWnd && pWnd->m_hWnd != m_hWnd &&
        ReflectLastMsg(pWnd->m_hWnd, pMsg->message, reinterpret_cast<WPARAM>(pDC->m_hDC),
                       reinterpret_cast<LPARAM>(pWnd->m_hWnd), &result))
        return reinterpret_cast<HBRUSH>(result);
    return reinterpret_cast<HBRUSH>(Default());
}

void CWnd::OnDrawItem(int /*nIDCtl*/, LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    LRESULT result = 0;
    if (lpDrawItemStruct->CtlType != ODT_MENU &&
        ReflectLastMsg(lpDrawItemStruct->hwndItem, WM_DRAWITEM, 0,
                       reinterpret_cast<LPARAM>(lpDrawItemStruct), &result))
        return;
    Default();
}

void CWnd::OnDestroy()
{
    Default();
}

void CWnd::OnPaint()
{
    Default();
}

BOOL CWnd::OnEraseBkgnd(CDC * /*pDC*/)
{
    return static_cast<BOOL>(Default());
}

void CWnd::OnSysCommand(UINT /*nID*/, LPARAM /*lParam*/)
{
    Default();
}

HCURSOR CWnd::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(Default());
}
