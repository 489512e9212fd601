#include "app/ReleasePanel.h"

#include "app/ToolColors.h"

namespace {
const char SPINNER_TYPE[] = "SCAN";
// What the spinner says to a screen reader.
const char SPINNER_NAME[] = "正在修复，请稍候";
}

BEGIN_MESSAGE_MAP(CReleasePanel, CDialog)
    ON_WM_CTLCOLOR()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CReleasePanel::CReleasePanel(CWnd *pParent) : CDialog(IDD, pParent) {}

void CReleasePanel::DoDataExchange(CDataExchange *pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SPINNER, m_spinner);
}

BOOL CReleasePanel::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The panel is created hidden: the spinner already turns when the release shows it.
    m_spinner.m_strAccName = SPINNER_NAME;
    m_spinner.Close();
    m_spinner.OpenResource(MAKEINTRESOURCEA(IDR_SCAN), SPINNER_TYPE);
    m_spinner.SetBackground(BACKGROUND_COLOR);
    m_spinner.StartAnimation();
    return TRUE;
}

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
