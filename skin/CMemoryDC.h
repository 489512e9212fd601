// An off-screen surface for one paint: drawn on like the target context, it reaches the
// target in one copy when it is destroyed, so the window never shows half a paint.
#pragma once

#include "fw/CBitmap.h"
#include "fw/CDC.h"

class CMemoryDC : public CDC {
public:
    // Covers rect of pDC (in pDC's coordinates), filled with crBackground. With no target
    // or an empty rectangle the surface is inactive: it draws nothing and copies nothing.
    CMemoryDC(CDC *pDC, RECT rect, COLORREF crBackground);
    ~CMemoryDC() override;

    // Stretches rcSrc of pSrcDC onto rcDest of the surface.
    BOOL StretchToRect(RECT rcDest, CDC *pSrcDC, RECT rcSrc, DWORD dwRop);
    BOOL StretchSized(CDC *pSrcDC, int cxDest, int cyDest, int cxSrc, int cySrc, int xDest,
                      int yDest, int xSrc, int ySrc, DWORD dwRop);

private:
    CBitmap m_bitmap;
    HGDIOBJ m_pOldBitmap;   // selected into the surface before m_bitmap
    CDC *m_pDC;             // the target, not owned
    RECT m_rect;
    BOOL m_bMemDC;          // an image exists and goes to the target at the end
};
