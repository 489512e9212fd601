// Result panel listing the problems found, in a read-only box with a thin grey frame.
#pragma once

#include "fw/Afx.h"
#include "res/resource.h"

class CProblemPanel : public CDialog {
public:
    explicit CProblemPanel(CWnd *pParent = nullptr);
    enum { IDD = IDD_PROBLEM_PANEL };

protected:
    afx_msg HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor);
    afx_msg BOOL OnEraseBkgnd(CDC *pDC);

    DECLARE_MESSAGE_MAP()
};
