#include "app/RepairDlg.h"

#include "app/AdvicePanel.h"
#include "app/BannerLayout.h"
#include "app/ProblemPanel.h"
#include "app/ReinstallPanel.h"
#include "app/ReleasePanel.h"

namespace {
const COLORREF BACKGROUND_COLOR = RGB(235, 248, 255);
volatile LONG g_nReleaseAbandoned = 0;
} // namespace

BEGIN_MESSAGE_MAP(CRepairDlg, CDialog)
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
    ON_WM_CTLCOLOR()
    ON_WM_DESTROY()
    ON_WM_SYSCOMMAND()
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

CRepairDlg::CRepairDlg(CWnd *pParent)
    : CDialog(IDD, pParent), m_hIcon(nullptr), m_pAdvicePanel(nullptr), m_pProblemPanel(nullptr),
      m_pReinstallPanel(nullptr), m_pReleasePanel(nullptr), m_hReleaseThread(nullptr)
{
    LPCSTR lpszIcon = MAKEINTRESOURCEA(IDR_MAINFRAME);
    m_hIcon = ::LoadIconA(AfxFindResourceHandle(lpszIcon, MAKEINTRESOURCEA(14)), lpszIcon);
}

template <class TPanel> void CRepairDlg::DestroyPanel(TPanel *&pPanel)
{
    if (!pPanel)
        return;
    pPanel->DestroyWindow();
    delete pPanel;
    pPanel = nullptr;
}

CRepairDlg::~CRepairDlg()
{
    DestroyPanel(m_pAdvicePanel);
    DestroyPanel(m_pProblemPanel);
    DestroyPanel(m_pReinstallPanel);
    DestroyPanel(m_pReleasePanel);
    if (m_hReleaseThread) {
        // The dialog closes at once: the worker is abandoned, not awaited and not killed (a
        // killed thread can leave a lock held that the process exit then waits for).
        ::InterlockedExchange(&g_nReleaseAbandoned, 1);
        ::CloseHandle(m_hReleaseThread);
        m_hReleaseThread = nullptr;
    }
}

BOOL CRepairDlg::IsReleaseAbandoned()
{
    return ::InterlockedCompareExchange(&g_nReleaseAbandoned, 0, 0) != 0;
}

void CRepairDlg::DoDataExchange(CDataExchange *pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SEPARATOR, m_stcSeparator);
    DDX_Control(pDX, IDC_DOWNLOAD, m_btnDownload);
    DDX_Control(pDX, IDC_SAFESTART, m_btnSafeStart);
}

BOOL CRepairDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    LPCSTR lpszIcon = MAKEINTRESOURCEA(IDR_MAINFRAME);
    HINSTANCE hInst = AfxFindResourceHandle(lpszIcon, MAKEINTRESOURCEA(14));
    SetIcon(static_cast<HICON>(::LoadImageA(hInst, lpszIcon, IMAGE_ICON, 32, 32, LR_SHARED)), TRUE);
    SetIcon(static_cast<HICON>(::LoadImageA(hInst, lpszIcon, IMAGE_ICON, 16, 16, LR_SHARED)), FALSE);

    // The panels start hidden (their templates are not visible); the outcome shows them.
    m_pAdvicePanel = new CAdvicePanel;
    m_pAdvicePanel->Create(IDD_ADVICE_PANEL, this);
    m_pProblemPanel = new CProblemPanel;
    m_pProblemPanel->Create(IDD_PROBLEM_PANEL, this);
    m_pReinstallPanel = new CReinstallPanel;
    m_pReinstallPanel->Create(IDD_REINSTALL_PANEL, this);
    m_pReleasePanel = new CReleasePanel;
    m_pReleasePanel->Create(IDD_RELEASE_PANEL, this);

    RunStartupChecks();
    return TRUE;
}

void CRepairDlg::RunStartupChecks() {}

BOOL CRepairDlg::OnEraseBkgnd(CDC *pDC)
{
    if (!pDC)
        return CDialog::OnEraseBkgnd(pDC);

    CRect rcClient;
    GetClientRect(&rcClient);
    const int cx = rcClient.Width();
    const int cy = rcClient.Height();
    if (cx <= 0 || cy <= 0)
        return TRUE;

    // Composed off-screen and copied in one go, so the banner never flickers.
    CDC dcCompose;
    CDC dcSource;
    dcCompose.CreateCompatibleDC(pDC);
    dcSource.CreateCompatibleDC(pDC);
    CBitmap bmpCompose;
    bmpCompose.CreateCompatibleBitmap(pDC, cx, cy);
    HGDIOBJ hOldCompose = dcCompose.SelectObject(&bmpCompose);
    dcCompose.FillSolidRect(0, 0, cx, cy, BACKGROUND_COLOR);

    CBitmap pieces[3];
    BannerPieceSize sizes[3] = {};
    const UINT ids[3] = {IDB_BANNER_LEFT, IDB_BANNER_MIDDLE, IDB_BANNER_RIGHT};
    for (int i = 0; i < 3; ++i) {
        BITMAP bm = {};
        if (pieces[i].LoadBitmap(ids[i]) && pieces[i].GetBitmap(&bm)) {
            sizes[i].cx = bm.bmWidth;
            sizes[i].cy = bm.bmHeight;
        }
    }

    const BannerLayout layout = ComputeBannerLayout(0, 0, cx, sizes[BANNER_LEFT],
                                                    sizes[BANNER_MIDDLE], sizes[BANNER_RIGHT]);
    HGDIOBJ hOldSource = nullptr;
    for (size_t i = 0; i < layout.count; ++i) {
        const BannerBlit &b = layout.blits[i];
        CBitmap &piece = pieces[b.piece];
        if (!piece.m_hObject)
            continue;   // a missing piece leaves the plain fill
        HGDIOBJ hPrev = dcSource.SelectObject(&piece);
        if (!hOldSource)
            hOldSource = hPrev;
        if (b.cxDest == b.cxSrc && b.cyDest == b.cySrc)
            dcCompose.BitBlt(b.xDest, b.yDest, b.cxDest, b.cyDest, &dcSource, b.xSrc, b.ySrc, SRCCOPY);
        else
            dcCompose.StretchBlt(b.xDest, b.yDest, b.cxDest, b.cyDest, &dcSource, b.xSrc, b.ySrc,
                                 b.cxSrc, b.cySrc, SRCCOPY);
    }

    pDC->BitBlt(rcClient.left, rcClient.top, cx, cy, &dcCompose, 0, 0, SRCCOPY);

    if (hOldSource)
        dcSource.SelectObject(hOldSource);
    dcCompose.SelectObject(hOldCompose);
    return TRUE;
}

void CRepairDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    CRect rect;
    GetClientRect(&rect);
    const int x = (rect.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rect.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HBRUSH CRepairDlg::OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (pWnd && pWnd->m_hWnd != m_hWnd && pWnd->GetDlgCtrlID() == IDC_HINT) {
        static HBRUSH s_hbrBackground = nullptr;   // kept until the process ends
        if (!s_hbrBackground)
            s_hbrBackground = ::CreateSolidBrush(BACKGROUND_COLOR);
        pDC->SetBkColor(BACKGROUND_COLOR);
        return s_hbrBackground;
    }
    return hbr;
}

void CRepairDlg::OnDestroy()
{
    CDialog::OnDestroy();
}

void CRepairDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    CDialog::OnSysCommand(nID, lParam);
}

HCURSOR CRepairDlg::OnQueryDragIcon()
{
    return CDialog::OnQueryDragIcon();
}
