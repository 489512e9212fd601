// Result panel with the general advice; shown for a clean outcome and below the problems.
#pragma once

#include "fw/Afx.h"
#include "res/resource.h"

class CAdvicePanel : public CDialog {
public:
    explicit CAdvicePanel(CWnd *pParent = nullptr);
    enum { IDD = IDD_ADVICE_PANEL };

protected:
    afx_msg HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor);

    DECLARE_MESSAGE_MAP()
};
