#include "fw/CString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(CStringTest, FormatGrowsPastAnyInitialBufferAndMayReadItself)
{
    CString s;
    const std::string longArg(5000, 'x');
    s.Format("%s-%d", longArg.c_str(), 42);
    EXPECT_EQ(s.GetLength(), 5003);
    EXPECT_STREQ(static_cast<const char *>(s) + 5000, "-42");

    // The argument is the string being formatted.
    CString self("abc");
    self.Format("[%s|%s]", static_cast<const char *>(self), static_cast<const char *>(self));
    EXPECT_STREQ(self, "[abc|abc]");
}

TEST(CStringTest, AppendingItselfAndItsOwnTail)
{
    CString s("ab");
    s += s;
    EXPECT_STREQ(s, "abab");
    s = static_cast<const char *>(s) + 1;   // assignment from a pointer into the same string
    EXPECT_STREQ(s, "bab");
    s += static_cast<const char *>(s) + 2;
    EXPECT_STREQ(s, "babb");
}

TEST(CStringTest, MultibyteTextCountsAndComparesBytes)
{
    // Two GBK characters followed by "\r\n": lead bytes above 0x80, a trail byte that is an
    // ASCII letter.
    const char line[] = "\xC4\xE3\xBA\x61\r\n";
    CString s;
    s += line;
    s += line;
    EXPECT_EQ(s.GetLength(), 12);
    EXPECT_EQ(static_cast<unsigned char>(s.GetAt(0)), 0xC4);
    EXPECT_EQ(s.Mid(6, 4), CString("\xC4\xE3\xBA\x61"));
    // Bytes compare as unsigned, so high bytes sort after ASCII.
    EXPECT_LT(CString("z"), CString("\xC4"));
    EXPECT_NE(CString("\xBA\x61"), CString("\xBA\x41"));
    CString formatted;
    formatted.Format("%s%s", line, "ok");
    EXPECT_EQ(formatted.GetLength(), 8);
    EXPECT_EQ(std::memcmp(static_cast<const char *>(formatted), line, 6), 0);
}

TEST(CStringTest, BufferTakesTheLengthUpToTheTerminator)
{
    CString s("old text");
    char *buf = s.GetBuffer(32);
    std::strcpy(buf, "new");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_STREQ(s, "new");
}
