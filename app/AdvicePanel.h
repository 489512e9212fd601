// Result panel with the general advice; shown for a clean outcome and below the problems.
// Its markup label leads to the support forum.
#pragma once

#include "fw/Afx.h"
#include "markup/CMarkupLabel.h"
#include "res/resource.h"

// The markup the main dialog gives the forum label: "点这里" (click here) is a blue,
// underlined link.
extern const char FORUM_SENTENCE[];
// The forum page the link opens.
extern const char FORUM_PAGE[];

class CAdvicePanel : public CDialog {
public:
    explicit CAdvicePanel(CWnd *pParent = nullptr);
    enum { IDD = IDD_ADVICE_PANEL };

    CMarkupLabel m_lblForum;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT *pResult) override;
    void DoDataExchange(CDataExchange *pDX) override;

    afx_msg HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor);

    DECLARE_MESSAGE_MAP()
};
