// The main dialog: banner, result panels, the two command buttons.
#pragma once

#include "app/RepairWorkflow.h"
#include "fw/Afx.h"
#include "markup/CSeparatorStatic.h"
#include "res/resource.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinCaption.h"

// Posted by the release worker when the release has finished.
#define WM_RELEASE_DONE (WM_USER + 108)

// Shared by the user-interface thread and the release worker; the user-interface thread
// reads them only when handling WM_RELEASE_DONE while a worker exists.
extern CString g_strProblems;
extern int g_nOutcome;

class CRepairDlg;

// Handed to the release worker, which frees it.
struct ReleaseJob {
    const char *pszFileName;   // not owned
    CRepairDlg *pDlg;
    LPARAM nCookie;            // posted with WM_RELEASE_DONE: tells the worker's notice from others
};

class CAdvicePanel;
class CProblemPanel;
class CReinstallPanel;
class CReleasePanel;

class CRepairDlg : public CDialog, public CAccessibleProxy::Owner {
public:
    explicit CRepairDlg(CWnd *pParent = nullptr);
    ~CRepairDlg() override;

    enum { IDD = IDD_REPAIR_DIALOG };

    // Adds one complete result line to the problem text.
    static void AppendProblem(LPCSTR lpszLine);

    // Named by the title the caption painter draws.
    long AccRole() const override;
    const char *AccName() const override;
    bool AccNamesItsFrame() const override { return true; }

protected:
    void DoDataExchange(CDataExchange *pDX) override;
    BOOL OnInitDialog() override;
    // Enter belongs to the focused control; it never ends the tool.
    void OnOK() override {}
    BOOL PreTranslateMessage(MSG *pMsg) override;

    // The start-up check sequence: decides which panels and buttons the user sees.
    void RunStartupChecks();

    static DWORD WINAPI ReleaseThreadProc(LPVOID pParam);
    void RecheckProductFiles();
    void ShowOutcome();

    afx_msg LRESULT OnReleaseDone(WPARAM wParam, LPARAM lParam);
    afx_msg void OnDownload();
    afx_msg void OnSafeStart();
    afx_msg BOOL OnEraseBkgnd(CDC *pDC);
    afx_msg void OnPaint();
    afx_msg HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor);
    afx_msg void OnDestroy();
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg HCURSOR OnQueryDragIcon();

    CSeparatorStatic m_stcSeparator;
    CSkinButton m_btnDownload;
    CSkinButton m_btnSafeStart;
    HICON m_hIcon;
    CAdvicePanel *m_pAdvicePanel;
    CProblemPanel *m_pProblemPanel;
    CReinstallPanel *m_pReinstallPanel;
    CReleasePanel *m_pReleasePanel;
    CSkinCaption m_caption;   // paints the title; goes first of the members
    HANDLE m_hReleaseThread;
    BOOL m_bReleasing;   // between starting the release and its WM_RELEASE_DONE
    LPARAM m_nReleaseCookie;   // the cookie of the release this dialog started

    DECLARE_MESSAGE_MAP()

private:
    template <class TPanel> static void DestroyPanel(TPanel *&pPanel);
    // A command runs only from a button the user can see and press.
    static BOOL CanPress(const CButton &button);
    // Whether a WM_RELEASE_DONE comes from the release this dialog started.
    BOOL IsOwnReleaseNotice(LPARAM lParam) const;
};
