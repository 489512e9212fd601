#include "fw/CDialog.h"

#include "fw/AfxResource.h"
#include "fw/CWinApp.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd *pParentWnd)
    : m_nIDHelp(nIDTemplate), m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd),
      m_bContinueModal(FALSE), m_nModalResult(-1)
{
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog *pDlg = reinterpret_cast<CDialog *>(lParam);
    try {
        if (!pDlg || CWnd::FromHandlePermanent(hWnd))
            return FALSE;
        // From here on the dialog's messages reach the object first and the dialog manager's
        // procedure only as default processing.
        if (!pDlg->SubclassWindow(hWnd))
            return TRUE;
        return static_cast<INT_PTR>(pDlg->RouteMessage(WM_INITDIALOG, wParam, lParam));
    } catch (...) {
        // Nothing may unwind through the system's frames. Without the take-over the window
        // is not the object's, and Create and DoModal fail.
        if (pDlg && pDlg->m_hWnd == hWnd)
            pDlg->UnsubclassWindow();
        return FALSE;
    }
}

INT_PTR CDialog::DoModal()
{
    HWND hWndParent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    BOOL bEnableParent = FALSE;
    if (hWndParent && ::IsWindowEnabled(hWndParent)) {
        ::EnableWindow(hWndParent, FALSE);
        bEnableParent = TRUE;
    }

    m_bContinueModal = TRUE;
    m_nModalResult = -1;
    // Created as Unicode: the templates' texts reach the controls whole on every code page.
    LPCSTR lpszTemplate = MAKEINTRESOURCEA(m_nIDTemplate);
    HWND hWnd = ::CreateDialogParamW(AfxFindResourceHandle(lpszTemplate, MAKEINTRESOURCEA(5)),
                                     MAKEINTRESOURCEW(m_nIDTemplate), hWndParent, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (hWnd && m_hWnd == hWnd && m_bContinueModal) {
        if (!::IsWindowVisible(hWnd))
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
        while (m_bContinueModal && m_hWnd) {
            MSG msg;
            if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
                CWnd::DeleteTempMap();
            const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
            if (got == -1)
                break;
            if (got == 0) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (!CWnd::WalkPreTranslateTree(m_hWnd, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }
    m_bContinueModal = FALSE;

    if (bEnableParent)
        ::EnableWindow(hWndParent, TRUE);
    if (hWndParent && ::GetActiveWindow() == hWnd)
        ::SetActiveWindow(hWndParent);
    if (hWnd && ::IsWindow(hWnd)) {
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        ::DestroyWindow(hWnd);
    }
    CWnd::DeleteTempMap();
    return m_nModalResult;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd *pParentWnd)
{
    m_nIDTemplate = nIDTemplate;
    if (!m_nIDHelp)
        m_nIDHelp = nIDTemplate;
    m_pParentWnd = pParentWnd;
    LPCSTR lpszTemplate = MAKEINTRESOURCEA(nIDTemplate);
    HWND hWnd = ::CreateDialogParamW(AfxFindResourceHandle(lpszTemplate, MAKEINTRESOURCEA(5)),
                                     MAKEINTRESOURCEW(nIDTemplate),
                                     pParentWnd ? pParentWnd->m_hWnd : nullptr, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (hWnd && m_hWnd != hWnd) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return hWnd != nullptr;
}

void CDialog::EndDialog(int nResult)
{
    if (m_bContinueModal) {
        m_nModalResult = nResult;
        m_bContinueModal = FALSE;
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);   // wakes the modal loop
    } else if (m_hWnd) {
        ::EndDialog(m_hWnd, nResult);
    }
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CDialog::DoDataExchange(CDataExchange * /*pDX*/) {}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

LRESULT CDialog::HandleInitDialog(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    try {
        return OnInitDialog();
    } catch (...) {
        // A half-initialised dialog (out of memory, say) is not shown: the window is given
        // up, so Create and DoModal fail.
        UnsubclassWindow();
        return FALSE;
    }
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

HBRUSH CDialog::OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor)
{
    return CWnd::OnCtlColor(pDC, pWnd, nCtlColor);
}

BOOL CDialog::PreTranslateMessage(MSG *pMsg)
{
    // Keyboard navigation, Esc and Enter for the dialog and everything inside it.
    if (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd))
        return FALSE;
    // A panel the keyboard passes through leaves the keys to the dialog around it.
    if ((GetStyle() & WS_CHILD) && (GetExStyle() & WS_EX_CONTROLPARENT))
        return FALSE;
    return ::IsDialogMessageW(m_hWnd, pMsg);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, LRESULT *pResult)
{
    if (CWnd::OnCmdMsg(nID, nCode, pResult))
        return TRUE;
    // Commands nobody in the dialog handles go to the application (its help command).
    CWinApp *pApp = AfxGetApp();
    return pApp ? pApp->OnCmdMsg(nID, nCode, pResult) : FALSE;
}
