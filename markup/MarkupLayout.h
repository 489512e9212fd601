// The line breaker: places text runs one after another, left-aligned from (0, 0), breaking
// between characters (never inside a double-byte one) where the text would pass the right
// edge. One object serves one layout pass. Plain C++.
#pragma once

#include <cstdint>

#include "markup/CharStepper.h"
#include "markup/MarkupMeasurer.h"
#include "markup/MarkupRun.h"

class MarkupLayout {
public:
    MarkupLayout(MarkupMeasurer &measurer, const CharStepper &stepper, int clientRight);

    // Replaces the run's fragments. The style is the one in force, already selected in the
    // measurer; nLineSpacing is added at every line break made inside this run.
    void Place(MarkupRun &run, const TextStyle &style, int nLineSpacing);

    // Text this far down can never be on screen; a pass stops placing text there.
    static const int Y_LIMIT = 1 << 28;

    int x = 0;            // pen position on the current line
    int y = 0;            // top of the current line
    int lineHeight = 0;   // tallest text placed on the current line
    int lineBottom = 0;   // always y + lineHeight

private:
    const char *NextChar(const char *p, const char *end) const;
    FragmentRect MeasureAt(const char *pch, int cch);
    bool Fits(const FragmentRect &rc, int extra) const;
    // Whether all of [rest, end) fits on the line, with the extra pixel added to its height.
    // Longer texts are tried on growing prefixes first: a prefix that does not fit settles it
    // without measuring the whole, so a long run costs no more than the lines it fills.
    bool FitsWhole(const char *rest, const char *end, int extra, FragmentRect &whole);

    MarkupMeasurer &m_measurer;
    const CharStepper &m_stepper;
    int m_clientRight;
};
