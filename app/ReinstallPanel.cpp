#include "app/ReinstallPanel.h"

namespace {
const COLORREF BACKGROUND_COLOR = RGB(235, 248, 255);
}

BEGIN_MESSAGE_MAP(CReinstallPanel, CDialog)
    ON_WM_CTLCOLOR()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CReinstallPanel::CReinstallPanel(CWnd *pParent) : CDialog(IDD, pParent) {}

HBRUSH CReinstallPanel::OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (pWnd && pWnd->m_hWnd != m_hWnd && pWnd->GetDlgCtrlID() == IDC_REINSTALL_TEXT) {
        static HBRUSH s_hbrBackground = nullptr;   // kept until the process ends
        if (!s_hbrBackground)
            s_hbrBackground = ::CreateSolidBrush(BACKGROUND_COLOR);
        pDC->SetBkColor(BACKGROUND_COLOR);
        return s_hbrBackground;
    }
    return hbr;
}

BOOL CReinstallPanel::OnEraseBkgnd(CDC *pDC)
{
    // Paints nothing: the main dialog's fill behind the panel stays visible.
    if (!pDC)
        return CDialog::OnEraseBkgnd(pDC);
    return TRUE;
}
