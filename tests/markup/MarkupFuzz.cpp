// Fuzzes the parser and the line breaker: the first byte picks the width, the rest is the
// markup. Nothing may read past the text, loop forever, split a double-byte character or
// leave a style selected.
#include "markup/GbkCharStepper.h"
#include "markup/MarkupContent.h"
#include "tests/markup/FakeMeasurer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Which positions of text start a character (and its end), stepping from its beginning.
std::vector<bool> Boundaries(const CString &text)
{
    const GbkCharStepper stepper;
    const char *begin = text;
    const char *end = begin + text.GetLength();
    std::vector<bool> starts(static_cast<size_t>(text.GetLength()) + 1, false);
    for (const char *p = begin;; p = stepper.Next(p, end)) {
        starts[static_cast<size_t>(p - begin)] = true;
        if (p == end)
            break;
    }
    return starts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int right = data[0] * 3;
    MarkupContent content;
    content.m_strMarkup = CString(reinterpret_cast<const char *>(data + 1), static_cast<int>(size - 1));
    content.ParseMarkup();

    CString plain;
    for (const auto &run : content.m_runs)
        if (!run->bIsCode)
            plain += run->strText;
    Check(plain == content.m_strPlain);

    content.m_styles.push_back(TextStyle());
    FakeMeasurer measurer;
    content.LayoutRuns(measurer, GbkCharStepper(), right);
    Check(!measurer.unbalanced && !measurer.selected);

    // Pieces are whole characters of their run's text, in order.
    for (const auto &run : content.m_runs) {
        const std::vector<bool> starts = Boundaries(run->strText);
        int pos = 0;
        for (const LineFragment &f : run->fragments) {
            const int len = f.strText.GetLength();
            Check(pos + len <= run->strText.GetLength());
            Check(std::memcmp(static_cast<const char *>(run->strText) + pos, static_cast<const char *>(f.strText),
                              static_cast<size_t>(len)) == 0);
            Check(starts[static_cast<size_t>(pos)] && starts[static_cast<size_t>(pos + len)]);
            pos += len;
            if (pos < run->strText.GetLength() && run->strText.GetAt(pos) == '\n')
                ++pos;   // the line feed a break swallowed
        }
    }
    int offset = 0;
    content.LinkFragmentAt(right / 2, 6);
    content.LinkRunAt(right / 2, 6, &offset);
    return 0;
}
