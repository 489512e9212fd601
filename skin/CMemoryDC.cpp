#include "skin/CMemoryDC.h"

CMemoryDC::CMemoryDC(CDC *pDC, RECT rect, COLORREF crBackground)
    : m_pOldBitmap(nullptr), m_pDC(pDC), m_rect(rect), m_bMemDC(FALSE)
{
    if (!pDC || ::IsRectEmpty(&m_rect))
        return;
    const int cx = m_rect.right - m_rect.left;
    const int cy = m_rect.bottom - m_rect.top;
    // A surface that cannot hold the whole image stays inactive: a partial image copied
    // to the target would be worse than none.
    if (!CreateCompatibleDC(pDC))
        return;
    if (!m_bitmap.CreateCompatibleBitmap(pDC, cx, cy)) {
        DeleteDC();
        return;
    }
    m_pOldBitmap = SelectObject(&m_bitmap);
    // The bitmap starts at the rectangle's corner, so drawing in the target's coordinates
    // lands in it wherever the rectangle is.
    ::SetWindowOrgEx(m_hDC, m_rect.left, m_rect.top, nullptr);
    m_bMemDC = TRUE;
    FillSolidRect(&m_rect, crBackground);
}

CMemoryDC::~CMemoryDC()
{
    if (m_bMemDC && m_pDC) {
        m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.right - m_rect.left,
                      m_rect.bottom - m_rect.top, this, m_rect.left, m_rect.top, SRCCOPY);
        SelectObject(m_pOldBitmap);
        m_pDC = nullptr;
        m_pOldBitmap = nullptr;
        m_bitmap.DeleteObject();
    }
    // The base deletes the surface's own context.
}

BOOL CMemoryDC::StretchToRect(RECT rcDest, CDC *pSrcDC, RECT rcSrc, DWORD dwRop)
{
    return StretchSized(pSrcDC, rcDest.right - rcDest.left, rcDest.bottom - rcDest.top,
                        rcSrc.right - rcSrc.left, rcSrc.bottom - rcSrc.top, rcDest.left, rcDest.top,
                        rcSrc.left, rcSrc.top, dwRop);
}

BOOL CMemoryDC::StretchSized(CDC *pSrcDC, int cxDest, int cyDest, int cxSrc, int cySrc, int xDest,
                             int yDest, int xSrc, int ySrc, DWORD dwRop)
{
    return ::StretchBlt(m_hDC, xDest, yDest, cxDest, cyDest, pSrcDC ? pSrcDC->m_hDC : nullptr, xSrc,
                        ySrc, cxSrc, cySrc, dwRop);
}
