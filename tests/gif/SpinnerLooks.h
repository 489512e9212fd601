// A spinner's changes on screen grouped by look: the distinct pictures it showed, and how
// long each took to come back, which is one turn.
#pragma once

#include "tests/gif/WindowProbe.h"

#include <vector>

struct SpinnerLooks {
    explicit SpinnerLooks(const std::vector<PictureChange> &changes);

    // The median of turns; 0 when there is none.
    DWORD MedianTurn() const { return turns.empty() ? 0 : turns[turns.size() / 2]; }

    std::vector<Pixels> looks;   // each distinct picture, in the order first seen
    std::vector<DWORD> turns;    // times between two entries of one look, ascending
};
