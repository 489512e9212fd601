#include "app/RepairDlg.h"

#include <new>

#include "app/AdvicePanel.h"
#include "app/BannerLayout.h"
#include "app/ProblemPanel.h"
#include "app/ReinstallPanel.h"
#include "app/ReleasePanel.h"
#include "app/ResultLines.h"
#include "app/RunningWindow.h"
#include "app/SystemProductChecks.h"
#include "app/ToolColors.h"
#include "repair/HostsFile.h"
#include "repair/Launch.h"
#include "repair/LockedFileRelease.h"
#include "repair/SignatureVerifier.h"
#include "fw/TextConversion.h"

#include "BuildConfig.h"

CString g_strProblems;
int g_nOutcome = OUTCOME_CLEAN;

namespace {

// The pages on the product's web site.
const char DOWNLOAD_PAGE[] = "http://" HALVEX_WEB_DOMAIN "/halvex/download.shtml";

// Painted onto the caption bar; the window's own title stays empty.
const char PAINTED_TITLE[] = " Halvex修复工具 V1.0";

const char SAFE_START_FAILED[] = "安全启动Halvex失败，Halvex没有被启动。请点击“下载Halvex”重新安装Halvex。";

// The rule that chose the executable, applied again to the copy that is started.
bool CopyIsGenuine(const char *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(PathToWide(path).data(), GetFileExInfoStandard, &data))
        return false;
    const bool large = data.nFileSizeHigh != 0 || data.nFileSizeLow > MIN_SOUND_SIZE;
    return large && IsSignedByMaker(path);
}

// Findings go to the process-wide text and outcome; only the dialog can disable safe start.
class CDialogRecord : public WorkflowRecord {
public:
    explicit CDialogRecord(CWnd *pDlg) : m_pDlg(pDlg) {}
    void AppendProblem(ResultLine line) override { CRepairDlg::AppendProblem(ResultLineText(line)); }
    void SetOutcome(int outcome) override { g_nOutcome = outcome; }
    void DisableSafeStart() override
    {
        if (CWnd *pButton = m_pDlg ? m_pDlg->GetDlgItem(IDC_SAFESTART) : nullptr)
            pButton->EnableWindow(FALSE);
    }

private:
    CWnd *m_pDlg;
};
// Unknown outside this process and never 0, the value a stray message most likely carries.
LPARAM MakeReleaseCookie(const void *pDlg)
{
    LARGE_INTEGER counter = {};
    ::QueryPerformanceCounter(&counter);
    ULONG_PTR value = static_cast<ULONG_PTR>(counter.QuadPart) * 2654435761u;
    value ^= reinterpret_cast<ULONG_PTR>(pDlg) ^ (static_cast<ULONG_PTR>(::GetTickCount()) << 7) ^
             ::GetCurrentThreadId();
    return static_cast<LPARAM>(value | 1);
}
} // namespace

BEGIN_MESSAGE_MAP(CRepairDlg, CDialog)
    ON_BN_CLICKED(IDC_DOWNLOAD, OnDownload)
    ON_BN_CLICKED(IDC_SAFESTART, OnSafeStart)
    ON_MESSAGE(WM_RELEASE_DONE, OnReleaseDone)
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
    ON_WM_CTLCOLOR()
    ON_WM_DESTROY()
    ON_WM_SYSCOMMAND()
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

CRepairDlg::CRepairDlg(CWnd *pParent)
    : CDialog(IDD, pParent), CAccessibleProxy::Owner(this), m_hIcon(nullptr), m_pAdvicePanel(nullptr), m_pProblemPanel(nullptr),
      m_pReinstallPanel(nullptr), m_pReleasePanel(nullptr), m_hReleaseThread(nullptr),
      m_bReleasing(FALSE), m_nReleaseCookie(0)
{
    LPCSTR lpszIcon = MAKEINTRESOURCEA(IDR_MAINFRAME);
    m_hIcon = ::LoadIconW(AfxFindResourceHandle(lpszIcon, MAKEINTRESOURCEA(14)),
                          MAKEINTRESOURCEW(IDR_MAINFRAME));
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
        if (::WaitForSingleObject(m_hReleaseThread, 0) == WAIT_TIMEOUT) {
            // Closing ends the program at once, without waiting for the worker. Killing only
            // the worker could leave a lock (the heap's, the loader's) held that the normal
            // process exit then waits for forever; ending the whole process runs no more code.
            ::TerminateProcess(::GetCurrentProcess(), 0);
        }
        ::CloseHandle(m_hReleaseThread);
        m_hReleaseThread = nullptr;
    }
}

long CRepairDlg::AccRole() const
{
    return ROLE_SYSTEM_DIALOG;
}

const char *CRepairDlg::AccName() const
{
    // Without the space that sets the painted title off from the icon.
    return PAINTED_TITLE + 1;
}

void CRepairDlg::AppendProblem(LPCSTR lpszLine)
{
    g_strProblems += lpszLine;
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

    // The skin: caption title, button faces, separator line.
    m_caption.SetCaption(PAINTED_TITLE);
    m_caption.Subclass(m_hWnd);
    m_btnSafeStart.SetBitmaps(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_BUTTON_PRESSED, IDB_BUTTON_DISABLED);
    m_btnDownload.SetBitmaps(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_BUTTON_PRESSED, IDB_BUTTON_DISABLED);
    m_stcSeparator.SetBitmap(IDB_SEPARATOR, TRUE);

    LPCSTR lpszIcon = MAKEINTRESOURCEA(IDR_MAINFRAME);
    HINSTANCE hInst = AfxFindResourceHandle(lpszIcon, MAKEINTRESOURCEA(14));
    LPCWSTR lpszIconW = MAKEINTRESOURCEW(IDR_MAINFRAME);
    SetIcon(static_cast<HICON>(::LoadImageW(hInst, lpszIconW, IMAGE_ICON, 32, 32, LR_SHARED)), TRUE);
    SetIcon(static_cast<HICON>(::LoadImageW(hInst, lpszIconW, IMAGE_ICON, 16, 16, LR_SHARED)), FALSE);

    // The panels start hidden (their templates are not visible); the outcome shows them.
    m_pAdvicePanel = new CAdvicePanel;
    m_pAdvicePanel->Create(IDD_ADVICE_PANEL, this);
    m_pAdvicePanel->m_lblForum.SetMarkupText(FORUM_SENTENCE);
    // Tab reaches the forum link inside the panel, before the buttons below it.
    ::SetWindowLongPtrW(m_pAdvicePanel->m_hWnd, GWL_EXSTYLE,
                        ::GetWindowLongPtrW(m_pAdvicePanel->m_hWnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    m_pAdvicePanel->SetWindowPos(HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_pProblemPanel = new CProblemPanel;
    m_pProblemPanel->Create(IDD_PROBLEM_PANEL, this);
    m_pReinstallPanel = new CReinstallPanel;
    m_pReinstallPanel->Create(IDD_REINSTALL_PANEL, this);
    m_pReleasePanel = new CReleasePanel;
    m_pReleasePanel->Create(IDD_RELEASE_PANEL, this);

    TagMainWindow(m_hWnd);
    RunStartupChecks();
    return TRUE;
}

void CRepairDlg::RunStartupChecks()
{
    CSystemProductChecks checks;
    CDialogRecord record(this);
    if (::RunStartupChecks(checks, record) != STARTUP_RELEASE) {
        ShowOutcome();
        return;
    }

    // The executable is held open: release it on the worker while the spinner turns.
    CRect rcClient;
    GetClientRect(&rcClient);
    CRect rcPanel;
    m_pReleasePanel->GetWindowRect(&rcPanel);
    m_pReleasePanel->MoveWindow(rcClient.left, rcClient.top + PANEL_TOP, rcClient.Width(),
                                rcPanel.Height());
    m_pReleasePanel->ShowWindow(SW_SHOW);
    m_btnSafeStart.ShowWindow(SW_HIDE);
    m_btnDownload.ShowWindow(SW_HIDE);

    m_bReleasing = TRUE;
    m_nReleaseCookie = MakeReleaseCookie(this);
    ReleaseJob *pJob = new (std::nothrow) ReleaseJob{PRODUCT_EXE, this, m_nReleaseCookie};
    m_hReleaseThread = pJob ? ::CreateThread(nullptr, 0, ReleaseThreadProc, pJob, 0, nullptr) : nullptr;
    if (!m_hReleaseThread) {
        // No worker: nothing was released, present what is known.
        delete pJob;
        ::PostMessageW(m_hWnd, WM_RELEASE_DONE, 0, m_nReleaseCookie);
    }
}

DWORD WINAPI CRepairDlg::ReleaseThreadProc(LPVOID pParam)
{
    ReleaseJob *pJob = static_cast<ReleaseJob *>(pParam);
    if (!pJob || !pJob->pDlg)
        return 0;
    CDialogRecord record(nullptr);
    try {
        const bool walked = ReleaseLockedFile(pJob->pszFileName);
        // The walk closes only what it can open and name: ask the file itself.
        RecordReleaseResult(walked, ::TestFileLock(pJob->pszFileName) == 0, record);
    } catch (...) {
        // Out of memory for the line: the dialog still leaves the release state.
    }
    ::PostMessageW(pJob->pDlg->m_hWnd, WM_RELEASE_DONE, 0, pJob->nCookie);
    delete pJob;
    return 1;
}

BOOL CRepairDlg::IsOwnReleaseNotice(LPARAM lParam) const
{
    // Any process can post this message. Only the worker's own notice, or any once the
    // worker has ended, may touch the problem text: until then the worker writes it.
    if (lParam == m_nReleaseCookie)
        return TRUE;
    return m_hReleaseThread && ::WaitForSingleObject(m_hReleaseThread, 0) == WAIT_OBJECT_0;
}

LRESULT CRepairDlg::OnReleaseDone(WPARAM, LPARAM lParam)
{
    // Only the release's own notice re-checks; the checks never run twice.
    if (!m_bReleasing || !IsOwnReleaseNotice(lParam))
        return 0;
    m_bReleasing = FALSE;
    RecheckProductFiles();
    ShowOutcome();
    return 1;
}

void CRepairDlg::RecheckProductFiles()
{
    CSystemProductChecks checks;
    CDialogRecord record(this);
    ::RecheckProductFiles(checks, record);
}

void CRepairDlg::ShowOutcome()
{
    CRect rcClient;
    GetClientRect(&rcClient);
    CRect rcAdvice, rcProblem, rcReinstall;
    m_pAdvicePanel->GetWindowRect(&rcAdvice);
    m_pProblemPanel->GetWindowRect(&rcProblem);
    m_pReinstallPanel->GetWindowRect(&rcReinstall);
    const OutcomeLayout layout =
        PlanOutcome(g_nOutcome, rcClient.left, rcClient.top, rcClient.Width(),
                    PanelHeights{rcAdvice.Height(), rcProblem.Height(), rcReinstall.Height()});

    m_pReleasePanel->ShowWindow(SW_HIDE);

    const PanelPlacement &problem = layout.problem;
    if (problem.show)
        m_pProblemPanel->MoveWindow(problem.x, problem.y, problem.cx, problem.cy);
    const PanelPlacement &advice = layout.advice;
    if (advice.show)
        m_pAdvicePanel->MoveWindow(advice.x, advice.y, advice.cx, advice.cy);
    if (layout.setProblemText)
        m_pProblemPanel->SetDlgItemText(IDC_PROBLEM_LIST, g_strProblems);
    if (problem.show)
        m_pProblemPanel->ShowWindow(SW_SHOW);
    if (advice.show)
        m_pAdvicePanel->ShowWindow(SW_SHOW);

    const PanelPlacement &reinstall = layout.reinstall;
    if (reinstall.show) {
        m_pReinstallPanel->MoveWindow(reinstall.x, reinstall.y, reinstall.cx, reinstall.cy);
        m_pReinstallPanel->ShowWindow(SW_SHOW);
    }

    if (layout.showButtons) {
        m_btnDownload.ShowWindow(SW_SHOW);
        m_btnSafeStart.ShowWindow(SW_SHOW);
    }
    if (layout.moveDownloadToSafeStart) {
        m_btnSafeStart.ShowWindow(SW_HIDE);
        CRect rcSafeStart;
        m_btnSafeStart.GetWindowRect(&rcSafeStart);
        ScreenToClient(&rcSafeStart);
        m_btnDownload.SetWindowPos(nullptr, rcSafeStart.left, rcSafeStart.top, 0, 0, SWP_NOSIZE);
    }
    // The focus never stays on a control that went away.
    HWND hFocus = ::GetFocus();
    if (!hFocus || !::IsWindowVisible(hFocus) || !::IsWindowEnabled(hFocus)) {
        if (HWND hNext = ::GetNextDlgTabItem(m_hWnd, nullptr, FALSE))
            SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hNext), TRUE);
    }
}

BOOL CRepairDlg::PreTranslateMessage(MSG *pMsg)
{
    // The first key shows where the focus is; a mouse user never sees a cue.
    if ((pMsg->message == WM_KEYDOWN || pMsg->message == WM_SYSKEYDOWN) && !m_btnDownload.m_bFocusCue) {
        m_btnDownload.m_bFocusCue = m_btnSafeStart.m_bFocusCue = TRUE;
        m_btnDownload.Invalidate(FALSE);
        m_btnSafeStart.Invalidate(FALSE);
    }
    return CDialog::PreTranslateMessage(pMsg);
}

BOOL CRepairDlg::CanPress(const CButton &button)
{
    // Enter reaches the default button even while it is hidden during the release.
    return button.IsWindowVisible() && button.IsWindowEnabled();
}

void CRepairDlg::OnDownload()
{
    if (!CanPress(m_btnDownload))
        return;
    switch (RepairHostsFile()) {
    case 1:
        AfxMessageBox(HOSTS_REPAIRED, MB_OK);
        break;
    case -1:
        AfxMessageBox(HOSTS_NOT_REPAIRED, MB_OK);
        break;
    default:
        break;
    }
    OpenUrl(DOWNLOAD_PAGE);
}

void CRepairDlg::OnSafeStart()
{
    if (!CanPress(m_btnSafeStart))
        return;
    CSystemProductChecks checks;
    const char *pszFileName = ChooseSafeStartExe(checks);
    if (!pszFileName)
        return;
    char szCopy[MAX_PATH] = {};
    if (!StartVerifiedCopy(pszFileName, CopyIsGenuine, szCopy, sizeof(szCopy)))
        AfxMessageBox(SAFE_START_FAILED, MB_OK);
}

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
    if (CtlColorId(this, pWnd) == IDC_HINT)
        return SolidCtlColor(pDC, BACKGROUND_COLOR);
    return hbr;
}

void CRepairDlg::OnDestroy()
{
    CDialog::OnDestroy();
    // The window gets its own procedure back while it still exists.
    m_caption.Unsubclass();
}

void CRepairDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    CDialog::OnSysCommand(nID, lParam);
}

HCURSOR CRepairDlg::OnQueryDragIcon()
{
    return CDialog::OnQueryDragIcon();
}
