#include "fw/CBitmap.h"

#include "fw/AfxResource.h"
#include "fw/CDC.h"

BOOL CBitmap::LoadBitmap(UINT nIDResource)
{
    HINSTANCE hInst = AfxFindResourceHandle(MAKEINTRESOURCEA(nIDResource), MAKEINTRESOURCEA(2));
    return Attach(::LoadBitmapW(hInst, MAKEINTRESOURCEW(nIDResource)));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC *pDC, int nWidth, int nHeight)
{
    return Attach(::CreateCompatibleBitmap(pDC->m_hDC, nWidth, nHeight));
}
