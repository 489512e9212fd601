// Result panel shown while a held-open product file is being released.
#pragma once

#include "fw/Afx.h"
#include "res/resource.h"

class CReleasePanel : public CDialog {
public:
    explicit CReleasePanel(CWnd *pParent = nullptr);
    enum { IDD = IDD_RELEASE_PANEL };

protected:
    afx_msg HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor);
    afx_msg BOOL OnEraseBkgnd(CDC *pDC);

    DECLARE_MESSAGE_MAP()
};
