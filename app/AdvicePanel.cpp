#include "app/AdvicePanel.h"

#include "app/ToolColors.h"

BEGIN_MESSAGE_MAP(CAdvicePanel, CDialog)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CAdvicePanel::CAdvicePanel(CWnd *pParent) : CDialog(IDD, pParent) {}

HBRUSH CAdvicePanel::OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor)
{
    // Every control and the panel itself: the panel's background is painted with this brush,
    // and the link label asks here for its colours too.
    CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    return SolidCtlColor(pDC, BACKGROUND_COLOR);
}
