// Where each column of a widened or narrowed button face comes from in its state image.
#include "skin/ButtonSlices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The image column each button column shows, by replaying the copies. Every copy is
// either column for column or one column spread over many, so the answer is exact.
// -1: no copy covers the column; -2: more than one does.
std::vector<int> SourceColumns(int cxButton, int cxImage)
{
    std::vector<int> cols(cxButton > 0 ? cxButton : 0, -1);
    const ButtonSlices s = ComputeButtonSlices(cxButton, cxImage);
    for (std::size_t i = 0; i < s.count; ++i) {
        const SliceBlit &b = s.blits[i];
        EXPECT_TRUE(b.cxSrc == b.cxDest || b.cxSrc == 1) << "copy " << i << " is a real stretch";
        for (int x = b.xDest; x < b.xDest + b.cxDest; ++x) {
            if (x < 0 || x >= cxButton) {
                ADD_FAILURE() << "copy " << i << " writes column " << x;
                continue;
            }
            EXPECT_GE(b.xSrc, 0);
            EXPECT_LE(b.xSrc + b.cxSrc, cxImage);
            cols[x] = cols[x] == -1 ? (b.cxSrc == 1 ? b.xSrc : b.xSrc + (x - b.xDest)) : -2;
        }
    }
    return cols;
}

// Button columns [first, last] show image columns starting at src (step 1) or all src.
struct ColumnRun {
    int first, last;
    int src;
    bool repeat;
};

TEST(ButtonSlicesTest, ColumnsOfSixtyTwoPixelImages)
{
    const int w = 62;
    struct Case {
        int cxButton;
        std::vector<ColumnRun> runs;
    } cases[] = {
        // As wide as the image: the image as it is (stretched vertically only).
        {62, {{0, 61, 0, false}}},
        // Wider: the left and right 31 columns at the edges, centre column 31 between.
        {108, {{0, 30, 0, false}, {31, 76, 31, true}, {77, 107, 31, false}}},
        // Narrower and odd: k = 20; one middle column from the centre.
        {41, {{0, 19, 0, false}, {20, 20, 31, true}, {21, 40, 42, false}}},
        // Narrower and even: no middle column.
        {40, {{0, 19, 0, false}, {20, 39, 42, false}}},
        {63, {{0, 30, 0, false}, {31, 31, 31, true}, {32, 62, 31, false}}},
        {1, {{0, 0, 31, true}}},
        {2, {{0, 0, 0, false}, {1, 1, 61, false}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("button width " + std::to_string(c.cxButton));
        const std::vector<int> cols = SourceColumns(c.cxButton, w);
        std::vector<int> expected(c.cxButton, -1);
        for (const ColumnRun &r : c.runs)
            for (int x = r.first; x <= r.last; ++x)
                expected[x] = r.repeat ? r.src : r.src + (x - r.first);
        EXPECT_EQ(cols, expected);
    }
}

TEST(ButtonSlicesTest, NothingWithoutWidth)
{
    for (const auto &wh : {std::pair<int, int>{0, 62}, {-5, 62}, {108, 0}, {108, -1}})
        EXPECT_EQ(ComputeButtonSlices(wh.first, wh.second).count, 0u) << wh.first << "x" << wh.second;
}

TEST(ButtonSlicesTest, EveryColumnCoveredOnceForAnyWidths)
{
    for (int w : {1, 2, 3, 62, 63})
        for (int cx = 1; cx <= 140; ++cx) {
            const std::vector<int> cols = SourceColumns(cx, w);
            for (int x = 0; x < cx; ++x)
                ASSERT_GE(cols[x], 0) << "button " << cx << " image " << w << " column " << x;
        }
}

} // namespace
