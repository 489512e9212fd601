// Where the painted title goes in the caption bar.
#include "skin/CaptionLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(CaptionLayoutTest, TextStartsAfterTheSmallIconAndLeavesRoomForThreeButtons)
{
    const CaptionMetrics m = {4, 3, 18, 19, 16};
    struct Case {
        const char *name;
        int cxWindow;
        bool bIcon;
        CaptionRect expected;
    } cases[] = {
        {"no icon", 573, false, {5, 3, 573 - 54 - 4, 22}},
        {"small icon", 573, true, {4 + 16 + 6, 3, 515, 22}},
        // Narrower than the buttons and the icon: an empty band, drawing nothing.
        {"too narrow", 60, true, {26, 3, 2, 22}},
    };
    for (const Case &c : cases) {
        const CaptionRect rc = ComputeCaptionRect(c.cxWindow, c.bIcon, m);
        EXPECT_EQ(rc.left, c.expected.left) << c.name;
        EXPECT_EQ(rc.top, c.expected.top) << c.name;
        EXPECT_EQ(rc.right, c.expected.right) << c.name;
        EXPECT_EQ(rc.bottom, c.expected.bottom) << c.name;
    }
}

} // namespace
