// A bitmap handle with the loading and creation calls the tool uses.
#pragma once

#include "fw/CGdiObject.h"

class CDC;

class CBitmap : public CGdiObject {
public:
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    // From the resources that hold bitmap nIDResource.
    BOOL LoadBitmap(UINT nIDResource);
    BOOL CreateCompatibleBitmap(CDC *pDC, int nWidth, int nHeight);
    int GetBitmap(BITMAP *pBitMap) const { return GetObject(sizeof(BITMAP), pBitMap); }
};
