// A tooltip control: a pop-up window owned by the window whose tools it describes.
#pragma once

#include "fw/CWnd.h"

class CToolTipCtrl : public CWnd {
public:
    // dwStyle: TTS_* bits; the window is always a pop-up.
    BOOL Create(CWnd *pParentWnd, DWORD dwStyle = 0);
    // Tool nIDTool of pWnd over lpRectTool (pWnd's client coordinates).
    BOOL AddTool(CWnd *pWnd, LPCSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool);
    void DelTool(CWnd *pWnd, UINT_PTR nIDTool);
    void Activate(BOOL bActivate);
    // Hands a mouse message to the control so it can decide whether to show a tip.
    void RelayEvent(LPMSG lpMsg);
    void Update();
};
