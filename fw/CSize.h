// A SIZE with constructors.
#pragma once

#include <windows.h>

class CSize : public SIZE {
public:
    CSize() { cx = 0; cy = 0; }
    CSize(int initCX, int initCY) { cx = initCX; cy = initCY; }
    CSize(SIZE size) { cx = size.cx; cy = size.cy; }
    bool operator==(SIZE size) const { return cx == size.cx && cy == size.cy; }
    bool operator!=(SIZE size) const { return !(*this == size); }
};
