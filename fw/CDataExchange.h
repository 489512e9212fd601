// One data-exchange pass of a dialog, and the control binding it performs.
#pragma once

#include <windows.h>

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd *pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_bFailed(FALSE)
    {
    }

    BOOL m_bSaveAndValidate;   // TRUE: controls to members; FALSE: members to controls
    CWnd *m_pDlgWnd;
    BOOL m_bFailed;            // a control to bind was missing
};

// Takes over control nIDC of the dialog for rControl (once; later passes leave it alone).
// The control object's PreSubclassWindow runs before its messages start to arrive.
void DDX_Control(CDataExchange *pDX, int nIDC, CWnd &rControl);
