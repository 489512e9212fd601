// A dialog from a template in the resources: modal (DoModal, with the framework's own modal
// loop so controls can pre-translate their messages) or modeless (Create). The object takes
// the window over when WM_INITDIALOG arrives, so OnInitDialog sees it.
#pragma once

#include "fw/CDataExchange.h"
#include "fw/CWnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate = 0, CWnd *pParentWnd = nullptr);

    virtual INT_PTR DoModal();
    BOOL Create(UINT nIDTemplate, CWnd *pParentWnd = nullptr);
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    BOOL MapDialogRect(LPRECT lpRect) const { return ::MapDialogRect(m_hWnd, lpRect); }

    virtual BOOL OnInitDialog();
    BOOL PreTranslateMessage(MSG *pMsg) override;
    BOOL OnCmdMsg(UINT nID, int nCode, LRESULT *pResult) override;

protected:
    virtual void DoDataExchange(CDataExchange *pDX);
    virtual void OnOK();
    virtual void OnCancel();
    afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    afx_msg HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor);

    UINT m_nIDHelp;
    UINT m_nIDTemplate;
    CWnd *m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL m_bContinueModal;
    int m_nModalResult;
};
