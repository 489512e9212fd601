#include "fw/CToolTipCtrl.h"

#include <commctrl.h>

#include "fw/TextConversion.h"

namespace {
// The smallest record every version of the control accepts: the size of the full record
// depends on the headers' target version, and older controls refuse a larger one.
TTTOOLINFOW ToolInfo(CWnd *pWnd, UINT_PTR nIDTool)
{
    TTTOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = pWnd ? pWnd->m_hWnd : nullptr;
    ti.uId = nIDTool;
    return ti;
}
} // namespace

BOOL CToolTipCtrl::Create(CWnd *pParentWnd, DWORD dwStyle)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    return CreateEx(0, "tooltips_class32", nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr);
}

BOOL CToolTipCtrl::AddTool(CWnd *pWnd, LPCSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    TTTOOLINFOW ti = ToolInfo(pWnd, nIDTool);
    if (lpRectTool)
        ti.rect = *lpRectTool;
    ti.hinst = nullptr;
    WideText text = ToolToWide(lpszText);   // the control keeps a copy
    ti.lpszText = text.data();
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::DelTool(CWnd *pWnd, UINT_PTR nIDTool)
{
    TTTOOLINFOW ti = ToolInfo(pWnd, nIDTool);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::Activate(BOOL bActivate)
{
    SendMessage(TTM_ACTIVATE, bActivate);
}

void CToolTipCtrl::RelayEvent(LPMSG lpMsg)
{
    SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(lpMsg));
}

void CToolTipCtrl::Update()
{
    SendMessage(TTM_UPDATE);
}
