#include "fw/CDataExchange.h"

#include "fw/CWnd.h"

void DDX_Control(CDataExchange *pDX, int nIDC, CWnd &rControl)
{
    if (rControl.m_hWnd)
        return;
    HWND hWndControl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (!hWndControl || !rControl.SubclassWindow(hWndControl))
        pDX->m_bFailed = TRUE;
}
