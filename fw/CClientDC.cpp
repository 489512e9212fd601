#include "fw/CClientDC.h"

#include "fw/CWnd.h"

CClientDC::CClientDC(CWnd *pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr)
{
    m_hDC = ::GetDC(m_hWnd);
}

CClientDC::~CClientDC()
{
    if (m_hDC)
        ::ReleaseDC(m_hWnd, Detach());
}
