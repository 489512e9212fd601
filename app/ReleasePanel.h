// Result panel shown while a held-open product file is being released, with its spinner.
#pragma once

#include "fw/Afx.h"
#include "gif/CAnimatedPicture.h"
#include "res/resource.h"

class CReleasePanel : public CDialog {
public:
    explicit CReleasePanel(CWnd *pParent = nullptr);
    enum { IDD = IDD_RELEASE_PANEL };

protected:
    void DoDataExchange(CDataExchange *pDX) override;
    BOOL OnInitDialog() override;

    afx_msg HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor);
    afx_msg BOOL OnEraseBkgnd(CDC *pDC);

    // Turns from the panel's creation to its destruction, shown or hidden.
    CAnimatedPicture m_spinner;

    DECLARE_MESSAGE_MAP()
};
