// Which columns of a button's state image go where when the button is wider or narrower
// than the image. Plain geometry, no windows.h.
#pragma once

#include <cstddef>

// Image columns xSrc .. xSrc + cxSrc - 1 stretched onto button columns xDest .. xDest +
// cxDest - 1. Every copy takes the image's full height onto the button's full height.
struct SliceBlit {
    int xDest, cxDest;
    int xSrc, cxSrc;
};

struct ButtonSlices {
    SliceBlit blits[3];
    std::size_t count;
};

// A button as wide as the image shows the whole image. Otherwise, with k = min(cxButton,
// cxImage) / 2, the image's left and right k columns stay at the button's edges and its
// centre column (cxImage / 2) fills everything between them. Nothing for a button or an
// image without width.
ButtonSlices ComputeButtonSlices(int cxButton, int cxImage);
