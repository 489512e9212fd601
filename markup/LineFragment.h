// One piece of a text run placed on one line. Plain C++.
#pragma once

#include <cstdint>

#include "fw/CString.h"

// A rectangle in client pixels, laid out like RECT; a point lies in it when
// left <= x < right and top <= y < bottom.
struct FragmentRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;

    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct LineFragment {
    CString strText;          // the bytes of the piece
    FragmentRect rc;          // the text is drawn bottom-aligned in it
    std::uint32_t nLink = 0;  // link value of the style in force when it was placed
};
