#include "app/ProblemPanel.h"

#include "app/ToolColors.h"

namespace {
const COLORREF LIST_COLOR = RGB(255, 255, 255);
const COLORREF FRAME_COLOR = RGB(209, 209, 209);
} // namespace

BEGIN_MESSAGE_MAP(CProblemPanel, CDialog)
    ON_WM_CTLCOLOR()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CProblemPanel::CProblemPanel(CWnd *pParent) : CDialog(IDD, pParent) {}

HBRUSH CProblemPanel::OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    switch (CtlColorId(this, pWnd)) {
    case IDC_PROBLEM_LIST:
        return SolidCtlColor(pDC, LIST_COLOR);
    case IDC_PROBLEM_TITLE:
        return SolidCtlColor(pDC, BACKGROUND_COLOR);
    default:
        return hbr;
    }
}

BOOL CProblemPanel::OnEraseBkgnd(CDC *pDC)
{
    if (!pDC)
        return CDialog::OnEraseBkgnd(pDC);
    // Only the frame is drawn; the main dialog's fill shows through everywhere else.
    CWnd *pList = GetDlgItem(IDC_PROBLEM_LIST);
    if (!pList || !pList->IsWindowVisible())
        return TRUE;
    CRect rc;
    pList->GetWindowRect(&rc);
    ScreenToClient(&rc);
    rc.InflateRect(1, 1, 1, 1);
    pDC->Draw3dRect(&rc, FRAME_COLOR, FRAME_COLOR);
    return TRUE;
}
