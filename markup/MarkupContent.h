// What a markup label holds apart from its window: the markup, its runs, the plain text, and
// the style stack the runs are interpreted against. Parsing, the codes, the layout walk and
// the link hit-tests are here, in plain C++; the label paints what they decide.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "fw/CString.h"
#include "markup/CharStepper.h"
#include "markup/MarkupMeasurer.h"
#include "markup/MarkupRun.h"
#include "markup/TextStyle.h"

class MarkupContent {
public:
    MarkupContent();

    // The markup starts a code at this byte.
    static const char CODE_START = '|';

    // Empties the style stack, the texts and the runs; line spacing back to 0.
    void ResetContent();
    // Rebuilds the runs and m_strPlain from m_strMarkup. A code cut off by the end of the
    // text is dropped with everything after its bar; nothing is read past the end.
    void ParseMarkup();
    // Applies a code run to the current style (the last on the stack) or to the line
    // spacing. Nothing happens while the stack is empty.
    void ApplyCode(const MarkupRun &run);
    // Places every text run for a client area this wide, interpreting the codes in order. The
    // stack must hold the pass's starting style; it holds the last style afterwards.
    void LayoutRuns(MarkupMeasurer &measurer, const CharStepper &stepper, int clientRight);

    // The first placed piece with link value 1 that contains the point, or null.
    const LineFragment *LinkFragmentAt(int x, int y) const;
    // The text run owning that piece, and the byte offset of its text within the placed
    // display text (the bytes of the pieces of all earlier text runs); null if none.
    // ppFragment, when given, receives the piece.
    const MarkupRun *LinkRunAt(int x, int y, int *pOffset, const LineFragment **ppFragment = nullptr) const;

    std::deque<TextStyle> m_styles;   // the style stack; the last element is current
    CString m_strPlain;               // display text of all text runs, in order
    CString m_strMarkup;              // the markup last set
    std::vector<std::unique_ptr<MarkupRun>> m_runs;   // in source order
    unsigned char m_argWidth[256];    // argument bytes after each code letter
    int m_nLineSpacing;               // extra pixels between lines (code l)
};
