// What every other Windows test takes for granted about its Wine prefix.
#include <windows.h>

#include <gtest/gtest.h>

TEST(Environment, AnsiCodePageIsGbk)
{
    // Every user-visible text is a GBK byte string.
    EXPECT_EQ(GetACP(), 936u);
}

TEST(Environment, NarrowLiteralsAreGbk)
{
    const char text[] = "修复";
    const unsigned char gbk[] = {0xD0, 0xDE, 0xB8, 0xB4, 0};
    ASSERT_EQ(sizeof(text), sizeof(gbk));
    EXPECT_EQ(0, memcmp(text, gbk, sizeof(gbk)));
}

TEST(Environment, DesktopIsAvailable)
{
    EXPECT_NE(GetDesktopWindow(), nullptr);
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
}
