#include "app/BannerLayout.h"

BannerLayout ComputeBannerLayout(int left, int top, int right, BannerPieceSize leftPiece,
                                 BannerPieceSize middlePiece, BannerPieceSize rightPiece)
{
    BannerLayout layout = {};
    const int width = right - left;
    if (width <= 0)
        return layout;

    if (width <= rightPiece.cx) {
        const int xSrc = rightPiece.cx - width;
        layout.blits[layout.count++] = {BANNER_RIGHT, left, top, width, rightPiece.cy,
                                        xSrc, 0, width, rightPiece.cy};
        return layout;
    }

    layout.blits[layout.count++] = {BANNER_RIGHT, right - rightPiece.cx, top, rightPiece.cx,
                                    rightPiece.cy, 0, 0, rightPiece.cx, rightPiece.cy};
    if (width <= leftPiece.cx + rightPiece.cx) {
        const int shown = width - rightPiece.cx;
        layout.blits[layout.count++] = {BANNER_LEFT, left, top, shown, leftPiece.cy,
                                        0, 0, shown, leftPiece.cy};
        return layout;
    }

    layout.blits[layout.count++] = {BANNER_LEFT, left, top, leftPiece.cx, leftPiece.cy,
                                    0, 0, leftPiece.cx, leftPiece.cy};
    const int gap = width - leftPiece.cx - rightPiece.cx;
    layout.blits[layout.count++] = {BANNER_MIDDLE, left + leftPiece.cx, top, gap, middlePiece.cy,
                                    0, 0, middlePiece.cx, middlePiece.cy};
    return layout;
}
