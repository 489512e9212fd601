// Result panel telling the user to download the product again.
#pragma once

#include "fw/Afx.h"
#include "res/resource.h"

class CReinstallPanel : public CDialog {
public:
    explicit CReinstallPanel(CWnd *pParent = nullptr);
    enum { IDD = IDD_REINSTALL_PANEL };

protected:
    afx_msg HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor);
    afx_msg BOOL OnEraseBkgnd(CDC *pDC);

    DECLARE_MESSAGE_MAP()
};
