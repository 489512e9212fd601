#include "app/ReinstallPanel.h"

#include "app/ToolColors.h"

BEGIN_MESSAGE_MAP(CReinstallPanel, CDialog)
    ON_WM_CTLCOLOR()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CReinstallPanel::CReinstallPanel(CWnd *pParent) : CDialog(IDD, pParent) {}

HBRUSH CReinstallPanel::OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (CtlColorId(this, pWnd) == IDC_REINSTALL_TEXT)
        return SolidCtlColor(pDC, BACKGROUND_COLOR);
    return hbr;
}

BOOL CReinstallPanel::OnEraseBkgnd(CDC *pDC)
{
    // Paints nothing: the main dialog's fill behind the panel stays visible.
    if (!pDC)
        return CDialog::OnEraseBkgnd(pDC);
    return TRUE;
}
