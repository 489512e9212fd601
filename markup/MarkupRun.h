// One unit of parsed markup: a code with its argument, or display text with the pieces the
// last layout placed. Plain C++.
#pragma once

#include <vector>

#include "fw/CString.h"
#include "markup/LineFragment.h"

struct MarkupRun {
    bool bIsCode = false;
    char chCode = 0;      // code runs: the code letter
    CString strArg;       // code runs: exactly as many bytes as the letter takes
    CString strText;      // text runs: the display text (may be empty)
    std::vector<LineFragment> fragments;   // text runs: placed by the last layout
};
