// The text-holding static takes its control's window text over and blanks the window's own.
#include "fw/Afx.h"
#include "markup/CTextStatic.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextStaticTest, TakesTheWindowTextOverWhenBound)
{
    HWND hHost = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(hHost);
    struct Case {
        const char *text;
    } cases[] = {{"abc"}, {""}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        HWND hStatic = ::CreateWindowExA(0, "STATIC", c.text, WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, hHost,
                                         reinterpret_cast<HMENU>(1000), ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(hStatic);
        CTextStatic label;
        ASSERT_TRUE(label.SubclassWindow(hStatic));
        EXPECT_EQ(std::string(label.m_strText), c.text);
        EXPECT_EQ(::GetWindowTextLengthA(hStatic), 0);
        label.DestroyWindow();
    }
    ::DestroyWindow(hHost);
}

} // namespace
