#include "app/ToolColors.h"

HBRUSH SolidCtlColor(CDC *pDC, COLORREF crColor)
{
    // Only the user-interface thread asks, and the tool uses two colours.
    struct Entry {
        COLORREF crColor;
        HBRUSH hBrush;
    };
    static Entry s_brushes[4];
    static int s_nBrushes = 0;

    pDC->SetBkColor(crColor);
    for (int i = 0; i < s_nBrushes; ++i)
        if (s_brushes[i].crColor == crColor)
            return s_brushes[i].hBrush;
    HBRUSH hBrush = ::CreateSolidBrush(crColor);
    if (hBrush && s_nBrushes < static_cast<int>(sizeof(s_brushes) / sizeof(s_brushes[0])))
        s_brushes[s_nBrushes++] = Entry{crColor, hBrush};
    return hBrush;
}

int CtlColorId(const CWnd *pDlg, CWnd *pWnd)
{
    if (!pWnd || pWnd->m_hWnd == pDlg->m_hWnd)
        return 0;
    return pWnd->GetDlgCtrlID();
}
