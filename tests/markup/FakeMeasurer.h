// A measurer without a window system: every character is CHAR_WIDTH pixels wide (a GBK
// double-byte one twice that), every line as tall as the selected font's character height.
// It counts what it is asked, and checks that selections are balanced.
#pragma once

#include <cstdlib>

#include "markup/GbkCharStepper.h"
#include "markup/MarkupMeasurer.h"

class FakeMeasurer : public MarkupMeasurer {
public:
    static const int CHAR_WIDTH = 10;

    void SelectStyle(const TextStyle &style) override
    {
        ++selects;
        if (selected)
            unbalanced = true;
        selected = true;
        height = std::abs(static_cast<long>(style.lf.lfHeight));
        if (height > 1000)
            height = 1000;
    }
    void ReleaseStyle() override
    {
        if (!selected)
            unbalanced = true;
        selected = false;
    }
    void Measure(const char *pch, int cch, FragmentRect &rc) override
    {
        if (!selected)
            unbalanced = true;
        ++calls;
        bytes += cch;
        const GbkCharStepper stepper;
        const char *end = pch + cch;
        long lines = 1, width = 0, widest = 0;
        for (const char *p = pch; p < end;) {
            const char *next = stepper.Next(p, end);
            if (*p == '\n') {
                ++lines;
                width = 0;
            } else {
                width += CHAR_WIDTH * (next - p);
                if (width > widest)
                    widest = width;
            }
            p = next;
        }
        rc.right = rc.left + static_cast<int>(widest);
        rc.bottom = rc.top + static_cast<int>(cch > 0 ? lines * height : 0);
    }

    long height = 12;
    long calls = 0;
    long long bytes = 0;
    long selects = 0;
    bool selected = false;
    bool unbalanced = false;
};
