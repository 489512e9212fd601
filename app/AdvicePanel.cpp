#include "app/AdvicePanel.h"

#include "app/ToolColors.h"
#include "repair/Launch.h"

#include "BuildConfig.h"

const char FORUM_SENTENCE[] =
    "如果您的Halvex仍无法正常使用，请到|h01|c0000ff|U点这里|~U|~c|~h到论坛查看帮助和反馈。";
const char FORUM_PAGE[] = "http://" HALVEX_WEB_DOMAIN "/bbs/jump/halvex.html";

namespace {

// The code of the link notification the markup label sends (EN_LINK).
const UINT LINK_CLICKED = 0x070B;

} // namespace

BEGIN_MESSAGE_MAP(CAdvicePanel, CDialog)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CAdvicePanel::CAdvicePanel(CWnd *pParent) : CDialog(IDD, pParent) {}

BOOL CAdvicePanel::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT *pResult)
{
    // Every click on the link opens the page again.
    if (HIWORD(wParam) == LINK_CLICKED && LOWORD(wParam) == IDC_FORUM_LINK)
        OpenUrl(FORUM_PAGE);
    return CWnd::OnNotify(wParam, lParam, pResult);
}

void CAdvicePanel::DoDataExchange(CDataExchange *pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FORUM_LINK, m_lblForum);
}

HBRUSH CAdvicePanel::OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor)
{
    // Every control and the panel itself: the panel's background is painted with this brush,
    // and the link label asks here for its colours too.
    CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    return SolidCtlColor(pDC, BACKGROUND_COLOR);
}
