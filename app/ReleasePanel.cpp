#include "app/ReleasePanel.h"

#include "app/ToolColors.h"

BEGIN_MESSAGE_MAP(CReleasePanel, CDialog)
    ON_WM_CTLCOLOR()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CReleasePanel::CReleasePanel(CWnd *pParent) : CDialog(IDD, pParent) {}

HBRUSH CReleasePanel::OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (CtlColorId(this, pWnd) == IDC_RELEASE_TEXT)
        return SolidCtlColor(pDC, BACKGROUND_COLOR);
    return hbr;
}

BOOL CReleasePanel::OnEraseBkgnd(CDC *pDC)
{
    // Paints nothing: the main dialog's fill behind the panel stays visible.
    if (!pDC)
        return CDialog::OnEraseBkgnd(pDC);
    return TRUE;
}
