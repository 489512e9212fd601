#include "skin/ButtonSlices.h"

#include <algorithm>

ButtonSlices ComputeButtonSlices(int cxButton, int cxImage)
{
    ButtonSlices s = {};
    if (cxButton <= 0 || cxImage <= 0)
        return s;
    if (cxButton == cxImage) {
        s.blits[s.count++] = SliceBlit{0, cxButton, 0, cxImage};
        return s;
    }
    const int k = std::min(cxButton, cxImage) / 2;
    if (k > 0) {
        s.blits[s.count++] = SliceBlit{0, k, 0, k};
        s.blits[s.count++] = SliceBlit{cxButton - k, k, cxImage - k, k};
    }
    // The image is uniform from left to right in its middle: one column stands for all.
    const int cxMiddle = cxButton - 2 * k;
    if (cxMiddle > 0)
        s.blits[s.count++] = SliceBlit{k, cxMiddle, cxImage / 2, 1};
    return s;
}
