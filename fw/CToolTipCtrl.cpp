#include "fw/CToolTipCtrl.h"

#include <commctrl.h>

namespace {
// The smallest record every version of the control accepts: the size of the full record
// depends on the headers' target version, and older controls refuse a larger one.
TTTOOLINFOA ToolInfo(CWnd *pWnd, UINT_PTR nIDTool)
{
    TTTOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = pWnd ? pWnd->m_hWnd : nullptr;
    ti.uId = nIDTool;
    return ti;
}
} // namespace

BOOL CToolTipCtrl::Create(CWnd *pParentWnd, DWORD dwStyle)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    return CreateEx(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr);
}

BOOL CToolTipCtrl::AddTool(CWnd *pWnd, LPCSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    TTTOOLINFOA ti = ToolInfo(pWnd, nIDTool);
    if (lpRectTool)
        ti.rect = *lpRectTool;
    ti.hinst = nullptr;
    ti.lpszText = const_cast<LPSTR>(lpszText ? lpszText : "");
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::DelTool(CWnd *pWnd, UINT_PTR nIDTool)
{
    TTTOOLINFOA ti = ToolInfo(pWnd, nIDTool);
    SendMessage(TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
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
