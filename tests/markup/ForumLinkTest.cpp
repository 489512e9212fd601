// The real HalvexFix.exe on a machine where the product is installed and genuine, so the
// advice panel shows the forum sentence. Read from outside: a capture of the label on the
// screen, and real clicks (xdotool) whose only effect is the page the fake browser receives.
#include "tests/markup/XPointer.h"
#include "tests/scenario/ToolProcess.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileTree.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/RegistryBackup.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestPaths.h"

#include "BuildConfig.h"
#include "res/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

const char HTTP_COMMAND_KEY[] = "http\\shell\\open\\command";
const char FORUM_URL[] = "http://" HALVEX_WEB_DOMAIN "/bbs/jump/halvex.html";
const COLORREF BACKGROUND = RGB(235, 248, 255);
const COLORREF LINK_BLUE = RGB(0, 0, 255);

// A screen rectangle's pixels, top-down rows.
struct Capture {
    int cx = 0, cy = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * cx + x]; }
};

Capture CaptureScreen(const RECT &rc)
{
    Capture cap;
    cap.cx = rc.right - rc.left;
    cap.cy = rc.bottom - rc.top;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cap.cx;
    bi.bmiHeader.biHeight = -cap.cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP bmp = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, cap.cx, cap.cy, screen, rc.left, rc.top, SRCCOPY);
    ::GdiFlush();
    const DWORD *p = static_cast<const DWORD *>(bits);
    for (int i = 0; i < cap.cx * cap.cy; ++i)
        cap.pixels.push_back(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(bmp);
    ::ReleaseDC(nullptr, screen);
    return cap;
}

// Where the link's blue is: the bounding box of its pixels in the capture.
struct BlueBox {
    int left = -1, top = -1, right = -1, bottom = -1;   // inclusive
    int count = 0;
};

BlueBox FindBlue(const Capture &cap)
{
    BlueBox box;
    for (int y = 0; y < cap.cy; ++y)
        for (int x = 0; x < cap.cx; ++x) {
            if (cap.At(x, y) != LINK_BLUE)
                continue;
            if (box.count++ == 0) {
                box.left = box.right = x;
                box.top = box.bottom = y;
            }
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    return box;
}

bool IsDark(COLORREF c)
{
    return GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128;
}

class ForumLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_base = FreshTestDir("hx forum");
        ASSERT_FALSE(m_base.empty());
        m_machine.reset(new CProductMachine(m_base));
        // Genuine and large enough: the outcome is clean, the advice panel is shown.
        ASSERT_TRUE(m_machine->Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}));
        m_log = m_base + "\\browser.log";
        ::SetEnvironmentVariableA("HALVEX_LAUNCH_LOG", m_log.c_str());
        ASSERT_TRUE(SetString(HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY, nullptr,
                              "\"" + ExeDir() + "\\launch_probe.exe\" \"%1\""));
    }
    void TearDown() override
    {
        m_tool.Stop();
        ::SetEnvironmentVariableA("HALVEX_LAUNCH_LOG", nullptr);
        RemoveTree(m_base);
    }

    // Starts the tool and finds its forum label once the outcome is on screen.
    HWND StartAndFindLabel()
    {
        if (!m_tool.Start())
            return nullptr;
        ToolView view;
        if (!m_tool.WaitForOutcome(&view) || !view.advice.bVisible)
            return nullptr;
        for (HWND h = ::GetWindow(m_tool.Dialog(), GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
            if (::GetDlgItem(h, IDC_ADVICE_TEXT))
                return ::GetDlgItem(h, IDC_FORUM_LINK);
        return nullptr;
    }

    std::unique_ptr<CProductMachine> m_machine;
    CRegistryBackup m_httpCommand{HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY};
    std::string m_base;
    std::string m_log;
    CToolProcess m_tool;
};

TEST_F(ForumLinkTest, TheLinkIsBlueUnderlinedAndOpensTheForumOncePerClick)
{
    ASSERT_TRUE(XPointerAvailable()) << "xdotool is missing (tools/bootstrap.sh installs it)";
    HWND label = StartAndFindLabel();
    ASSERT_TRUE(label) << "no forum label on screen";
    RECT rc = {};
    ::GetWindowRect(label, &rc);

    // The sentence in its place: painted on the light blue, "点这里" in blue.
    Capture cap;
    BlueBox blue;
    for (int i = 0; i < 100 && blue.count == 0; ++i) {
        if (i)
            ::Sleep(50);
        cap = CaptureScreen(rc);
        blue = FindBlue(cap);
    }
    ASSERT_GT(blue.count, 30) << "no blue link on screen";
    // Three characters of about 12 pixels.
    EXPECT_GE(blue.right - blue.left + 1, 24);
    EXPECT_LE(blue.right - blue.left + 1, 60);
    // Underlined: one row of the box is blue from end to end.
    bool underlined = false;
    for (int y = blue.top; y <= blue.bottom && !underlined; ++y) {
        int run = 0;
        for (int x = blue.left; x <= blue.right; ++x)
            run += cap.At(x, y) == LINK_BLUE;
        underlined = run == blue.right - blue.left + 1;
    }
    EXPECT_TRUE(underlined);
    // Plain text in the default colour before and after the link, light blue around it.
    int darkBefore = 0, darkAfter = 0, background = 0;
    for (int y = 0; y < cap.cy; ++y)
        for (int x = 0; x < cap.cx; ++x) {
            const COLORREF c = cap.At(x, y);
            darkBefore += x < blue.left && IsDark(c);
            darkAfter += x > blue.right && IsDark(c);
            background += c == BACKGROUND;
        }
    EXPECT_GT(darkBefore, 100);
    EXPECT_GT(darkAfter, 100);
    EXPECT_GT(background, cap.cx * cap.cy / 2);
    for (int y = 0; y < cap.cy; ++y)
        EXPECT_EQ(cap.At(cap.cx - 1, y), BACKGROUND) << y;

    // Clicks: plain text first, then the link. The tool handles them in order, so once the
    // link's page has arrived the plain click has been handled too.
    const int midY = rc.top + (blue.top + blue.bottom) / 2;
    const int linkX = rc.left + (blue.left + blue.right) / 2;
    const std::string page = ExeDir() + "\\launch_probe.exe\t" + FORUM_URL;
    ASSERT_TRUE(ClickAt(rc.left + blue.left - 40, midY));
    ASSERT_TRUE(ClickAt(linkX, midY));
    EXPECT_EQ(WaitForLines(m_log, 1), std::vector<std::string>{page});

    // A second click (elsewhere on the link, so it is no double click) opens it again.
    ASSERT_TRUE(ClickAt(rc.left + blue.right + 40, midY));
    ASSERT_TRUE(ClickAt(rc.left + blue.left + 2, midY));
    EXPECT_EQ(WaitForLines(m_log, 2), (std::vector<std::string>{page, page}));
    ::Sleep(500);
    EXPECT_EQ(LinesOf(m_log).size(), 2u);
}

} // namespace
