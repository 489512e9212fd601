// What the line breaker needs from a drawing surface: a style to measure in, and the extent
// of a text. Plain C++, so the breaker runs against a fake as well as against a device context.
#pragma once

#include "markup/LineFragment.h"
#include "markup/TextStyle.h"

class MarkupMeasurer {
public:
    virtual ~MarkupMeasurer() = default;

    // Measuring happens in the style selected last; every selection is released again.
    virtual void SelectStyle(const TextStyle &style) = 0;
    virtual void ReleaseStyle() = 0;

    // rc.left and rc.top are set; sets rc.right and rc.bottom to the extent of the cch bytes
    // at pch drawn from that corner. A line feed starts a new line; nothing wraps. No bytes
    // give right = left and bottom = top.
    virtual void Measure(const char *pch, int cch, FragmentRect &rc) = 0;
};
