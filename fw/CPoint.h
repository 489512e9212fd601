// A POINT with constructors.
#pragma once

#include <windows.h>

class CPoint : public POINT {
public:
    CPoint() { x = 0; y = 0; }
    CPoint(int initX, int initY) { x = initX; y = initY; }
    CPoint(POINT pt) { x = pt.x; y = pt.y; }
    // Packed as two signed 16-bit words (x low, y high), as mouse messages carry it.
    explicit CPoint(LPARAM dwPoint)
    {
        x = static_cast<short>(LOWORD(dwPoint));
        y = static_cast<short>(HIWORD(dwPoint));
    }
    void Offset(int dx, int dy) { x += dx; y += dy; }
    bool operator==(POINT pt) const { return x == pt.x && y == pt.y; }
    bool operator!=(POINT pt) const { return !(*this == pt); }
};
