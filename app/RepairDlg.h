// The main dialog: banner, result panels, the two command buttons.
#pragma once

#include "fw/Afx.h"
#include "res/resource.h"

class CAdvicePanel;
class CProblemPanel;
class CReinstallPanel;
class CReleasePanel;

class CRepairDlg : public CDialog {
public:
    explicit CRepairDlg(CWnd *pParent = nullptr);
    ~CRepairDlg() override;

    enum { IDD = IDD_REPAIR_DIALOG };

    // Set when the dialog went away while a release worker was still running; the worker
    // then drops its result instead of handing it over.
    static BOOL IsReleaseAbandoned();

protected:
    void DoDataExchange(CDataExchange *pDX) override;
    BOOL OnInitDialog() override;

    // The start-up check sequence: decides which panels and buttons the user sees.
    void RunStartupChecks();

    afx_msg BOOL OnEraseBkgnd(CDC *pDC);
    afx_msg void OnPaint();
    afx_msg HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor);
    afx_msg void OnDestroy();
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg HCURSOR OnQueryDragIcon();

    CStatic m_stcSeparator;
    CButton m_btnDownload;
    CButton m_btnSafeStart;
    HICON m_hIcon;
    CAdvicePanel *m_pAdvicePanel;
    CProblemPanel *m_pProblemPanel;
    CReinstallPanel *m_pReinstallPanel;
    CReleasePanel *m_pReleasePanel;
    HANDLE m_hReleaseThread;

    DECLARE_MESSAGE_MAP()

private:
    template <class TPanel> static void DestroyPanel(TPanel *&pPanel);
};
