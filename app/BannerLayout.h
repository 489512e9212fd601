// Where the three banner pieces go for a given client width. Plain geometry, no windows.h.
#pragma once

#include <cstddef>

struct BannerPieceSize {
    int cx;
    int cy;
};

enum BannerPiece { BANNER_LEFT = 0, BANNER_MIDDLE = 1, BANNER_RIGHT = 2 };

// One copy from a piece into the composition. Stretched when the source and the
// destination sizes differ (only the middle piece ever is).
struct BannerBlit {
    BannerPiece piece;
    int xDest, yDest, cxDest, cyDest;
    int xSrc, ySrc, cxSrc, cySrc;
};

struct BannerLayout {
    BannerBlit blits[3];
    std::size_t count;
};

// The right piece is always placed first; in a client narrower than it, its right edge
// stays visible. Wider clients show the left piece, then the stretched middle piece.
BannerLayout ComputeBannerLayout(int left, int top, int right,
                                 BannerPieceSize leftPiece, BannerPieceSize middlePiece,
                                 BannerPieceSize rightPiece);
