#include "app/AdvicePanel.h"

namespace {
const COLORREF BACKGROUND_COLOR = RGB(235, 248, 255);
}

BEGIN_MESSAGE_MAP(CAdvicePanel, CDialog)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CAdvicePanel::CAdvicePanel(CWnd *pParent) : CDialog(IDD, pParent) {}

HBRUSH CAdvicePanel::OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor)
{
    // Every control and the panel itself: the panel's background is painted with this brush,
    // and the link label asks here for its colours too.
    CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    static HBRUSH s_hbrBackground = nullptr;   // kept until the process ends
    if (!s_hbrBackground)
        s_hbrBackground = ::CreateSolidBrush(BACKGROUND_COLOR);
    pDC->SetBkColor(BACKGROUND_COLOR);
    return s_hbrBackground;
}
