#include "app/ProblemPanel.h"

namespace {
const COLORREF BACKGROUND_COLOR = RGB(235, 248, 255);
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
    if (!pWnd || pWnd->m_hWnd == m_hWnd)
        return hbr;
    // Brushes are kept until the process ends.
    switch (pWnd->GetDlgCtrlID()) {
    case IDC_PROBLEM_LIST: {
        static HBRUSH s_hbrList = nullptr;
        if (!s_hbrList)
            s_hbrList = ::CreateSolidBrush(LIST_COLOR);
        pDC->SetBkColor(LIST_COLOR);
        return s_hbrList;
    }
    case IDC_PROBLEM_TITLE: {
        static HBRUSH s_hbrBackground = nullptr;
        if (!s_hbrBackground)
            s_hbrBackground = ::CreateSolidBrush(BACKGROUND_COLOR);
        pDC->SetBkColor(BACKGROUND_COLOR);
        return s_hbrBackground;
    }
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
