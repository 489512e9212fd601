// A RECT with the usual helpers; right and bottom are exclusive.
#pragma once

#include <windows.h>

#include "fw/CPoint.h"
#include "fw/CSize.h"

class CRect : public RECT {
public:
    CRect() { left = top = right = bottom = 0; }
    CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    CRect(const RECT &rc) { ::CopyRect(this, &rc); }
    CRect(POINT topLeft, SIZE size)
    {
        left = topLeft.x;
        top = topLeft.y;
        right = left + size.cx;
        bottom = top + size.cy;
    }

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    BOOL IsRectEmpty() const { return ::IsRectEmpty(this); }
    BOOL PtInRect(POINT pt) const { return ::PtInRect(this, pt); }

    void SetRect(int l, int t, int r, int b) { ::SetRect(this, l, t, r, b); }
    void SetRectEmpty() { ::SetRectEmpty(this); }
    void InflateRect(int x, int y) { ::InflateRect(this, x, y); }
    void InflateRect(int l, int t, int r, int b)
    {
        left -= l;
        top -= t;
        right += r;
        bottom += b;
    }
    void DeflateRect(int x, int y) { ::InflateRect(this, -x, -y); }
    void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }
    void OffsetRect(int x, int y) { ::OffsetRect(this, x, y); }
    BOOL IntersectRect(LPCRECT a, LPCRECT b) { return ::IntersectRect(this, a, b); }

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    bool operator==(const RECT &rc) const { return ::EqualRect(this, &rc) != FALSE; }
    bool operator!=(const RECT &rc) const { return !(*this == rc); }
};
