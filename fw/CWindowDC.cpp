#include "fw/CWindowDC.h"

#include "fw/CWnd.h"

CWindowDC::CWindowDC(CWnd *pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr)
{
    m_hDC = ::GetWindowDC(m_hWnd);
}

CWindowDC::~CWindowDC()
{
    if (m_hDC)
        ::ReleaseDC(m_hWnd, Detach());
}
