#include "markup/MarkupLayout.h"

namespace {

// First prefix tried before a long text is measured whole; each further one is four times longer.
const int FIRST_PREFIX_BYTES = 64;

} // namespace

MarkupLayout::MarkupLayout(MarkupMeasurer &measurer, const CharStepper &stepper, int clientRight)
    : m_measurer(measurer), m_stepper(stepper), m_clientRight(clientRight)
{
}

const char *MarkupLayout::NextChar(const char *p, const char *end) const
{
    const char *q = m_stepper.Next(p, end);
    if (q <= p)
        q = p + 1;
    return q > end ? end : q;
}

FragmentRect MarkupLayout::MeasureAt(const char *pch, int cch)
{
    FragmentRect rc = {x, y, x, y};
    if (cch > 0)
        m_measurer.Measure(pch, cch, rc);
    return rc;
}

bool MarkupLayout::Fits(const FragmentRect &rc, int extra) const
{
    return rc.right <= m_clientRight && static_cast<long long>(rc.bottom) + extra <= lineBottom;
}

bool MarkupLayout::FitsWhole(const char *rest, const char *end, int extra, FragmentRect &whole)
{
    const char *p = rest;
    for (long long target = FIRST_PREFIX_BYTES; end - rest > target; target *= 4) {
        while (p < end && p - rest < target)
            p = NextChar(p, end);
        if (p >= end)
            break;
        if (!Fits(MeasureAt(rest, static_cast<int>(p - rest)), extra))
            return false;
    }
    whole = MeasureAt(rest, static_cast<int>(end - rest));
    return Fits(whole, extra);
}

void MarkupLayout::Place(MarkupRun &run, const TextStyle &style, int nLineSpacing)
{
    run.fragments.clear();
    const char *rest = run.strText;
    const char *const end = rest + run.strText.GetLength();
    const int extra = style.bLineUnderline ? 1 : 0;   // room for the drawn line

    while (y <= Y_LIMIT) {
        const FragmentRect space = MeasureAt(" ", 1);
        const int spaceHeight = space.bottom - space.top + extra;
        if (spaceHeight > lineHeight) {
            lineBottom += spaceHeight - lineHeight;
            lineHeight = spaceHeight;
        }

        FragmentRect whole = {x, y, x, y + spaceHeight - extra};
        if (rest == end ? Fits(whole, extra) : FitsWhole(rest, end, extra, whole)) {
            // A whole piece reaches down to the line's bottom, so smaller text sits on the
            // same bottom as taller text before it.
            run.fragments.push_back(LineFragment{CString(rest, static_cast<int>(end - rest)),
                                                 FragmentRect{whole.left, whole.top, whole.right, lineBottom},
                                                 style.nLink});
            x = whole.right;
            return;
        }

        // The first prefix that does not fit marks the break; the piece ends one character
        // before it.
        const char *p = rest;
        const char *lastStart = rest;
        bool found = false;
        while (p < end) {
            lastStart = p;
            p = NextChar(p, end);
            if (!Fits(MeasureAt(rest, static_cast<int>(p - rest)), 0)) {
                found = true;
                break;
            }
        }
        if (!found) {
            // Only the underline's extra pixel kept the whole from fitting: place it anyway
            // rather than lose it.
            whole = MeasureAt(rest, static_cast<int>(end - rest));
            run.fragments.push_back(LineFragment{CString(rest, static_cast<int>(end - rest)),
                                                 FragmentRect{whole.left, whole.top, whole.right, lineBottom},
                                                 style.nLink});
            x = whole.right;
            return;
        }

        int cut = static_cast<int>(lastStart - rest);
        if (cut == 0 && x == 0 && *rest != '\n') {
            // Not even one character fits on an empty line: it goes there all the same, so
            // every line takes at least one.
            cut = static_cast<int>(p - rest);
        }
        const FragmentRect piece = MeasureAt(rest, cut);
        run.fragments.push_back(LineFragment{CString(rest, cut), piece, style.nLink});
        rest += cut;
        if (rest == end) {
            // The one character forced onto the line was the last: the pen stays after it.
            x = piece.right;
            return;
        }
        if (*rest == '\n')
            ++rest;

        const long long next = static_cast<long long>(y) + lineHeight + nLineSpacing;
        y = next > Y_LIMIT + 1LL ? Y_LIMIT + 1 : static_cast<int>(next);
        lineBottom = y;
        lineHeight = 0;
        x = 0;
    }
}
