#include "app/BannerLayout.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

const BannerPieceSize kLeft = {300, 77};
const BannerPieceSize kMiddle = {126, 77};
const BannerPieceSize kRight = {567, 75};

struct ExpectedBlit {
    BannerPiece piece;
    int xDest, cxDest, cyDest, xSrc, cxSrc, cySrc;
};

struct BannerCase {
    const char *name;
    int left, right;
    std::vector<ExpectedBlit> blits;
};

void PrintTo(const BannerCase &c, std::ostream *os) { *os << c.name; }

class BannerLayoutTest : public ::testing::TestWithParam<BannerCase> {};

TEST_P(BannerLayoutTest, PlacesPieces)
{
    const BannerCase &c = GetParam();
    const BannerLayout layout = ComputeBannerLayout(c.left, 0, c.right, kLeft, kMiddle, kRight);
    ASSERT_EQ(layout.count, c.blits.size());
    for (std::size_t i = 0; i < layout.count; ++i) {
        SCOPED_TRACE(i);
        const BannerBlit &b = layout.blits[i];
        const ExpectedBlit &e = c.blits[i];
        EXPECT_EQ(b.piece, e.piece);
        EXPECT_EQ(b.xDest, e.xDest);
        EXPECT_EQ(b.yDest, 0);
        EXPECT_EQ(b.cxDest, e.cxDest);
        EXPECT_EQ(b.cyDest, e.cyDest);
        EXPECT_EQ(b.xSrc, e.xSrc);
        EXPECT_EQ(b.ySrc, 0);
        EXPECT_EQ(b.cxSrc, e.cxSrc);
        EXPECT_EQ(b.cySrc, e.cySrc);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Widths, BannerLayoutTest,
    ::testing::Values(
        // At 96 dpi the client is exactly as wide as the right piece: nothing else shows.
        BannerCase{"ExactlyRightPiece", 0, 567, {{BANNER_RIGHT, 0, 567, 75, 0, 567, 75}}},
        // Narrower: the right edge of the right piece stays visible.
        BannerCase{"Narrow", 0, 400, {{BANNER_RIGHT, 0, 400, 75, 167, 400, 75}}},
        BannerCase{"NarrowOffset", 10, 110, {{BANNER_RIGHT, 10, 100, 75, 467, 100, 75}}},
        BannerCase{"OneWider", 0, 568,
                   {{BANNER_RIGHT, 1, 567, 75, 0, 567, 75}, {BANNER_LEFT, 0, 1, 77, 0, 1, 77}}},
        BannerCase{"LeftAndRightTouch", 0, 867,
                   {{BANNER_RIGHT, 300, 567, 75, 0, 567, 75}, {BANNER_LEFT, 0, 300, 77, 0, 300, 77}}},
        BannerCase{"OnePixelGap", 0, 868,
                   {{BANNER_RIGHT, 301, 567, 75, 0, 567, 75},
                    {BANNER_LEFT, 0, 300, 77, 0, 300, 77},
                    {BANNER_MIDDLE, 300, 1, 77, 0, 126, 77}}},
        BannerCase{"Wide", 0, 1200,
                   {{BANNER_RIGHT, 633, 567, 75, 0, 567, 75},
                    {BANNER_LEFT, 0, 300, 77, 0, 300, 77},
                    {BANNER_MIDDLE, 300, 333, 77, 0, 126, 77}}},
        BannerCase{"Empty", 0, 0, {}}),
    [](const ::testing::TestParamInfo<BannerCase> &info) { return std::string(info.param.name); });

} // namespace
