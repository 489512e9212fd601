// The real HalvexFix.exe in its outcomes, read from the screen: the painted title, the
// button faces (the moved download button keeps its own, a disabled safe-start button shows
// image 139) and the separator line.
#include "res/resource.h"
#include "tests/release/HolderProcess.h"
#include "tests/scenario/ToolProcess.h"
#include "tests/skin/SkinTestSupport.h"
#include "tests/support/FileTree.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/RegistryBackup.h"
#include "tests/support/RegistryKeys.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// Without a window manager Wine waits for one each time a window hides: the tool is left
// unmanaged.
const char APP_DEFAULTS_KEY[] = "Software\\Wine\\AppDefaults";
const char X11_TOOL_KEY[] = "Software\\Wine\\AppDefaults\\HalvexFix.exe\\X11 Driver";

const COLORREF BLACK = RGB(0, 0, 0);
const COLORREF LIGHT_GREY = RGB(192, 192, 192);

struct SkinnedToolTest : ::testing::Test {
    CRegistryBackup m_appDefaults{HKEY_CURRENT_USER, APP_DEFAULTS_KEY};
    std::string m_base;
    std::unique_ptr<CProductMachine> m_machine;

    void SetUp() override
    {
        m_base = FreshTestDir("hx skin");
        ASSERT_FALSE(m_base.empty());
        m_machine.reset(new CProductMachine(m_base));
        // No install location until a test installs the product.
        ASSERT_TRUE(m_machine->Prepare({Location::None, Hijack::None, nullptr, nullptr}));
        ASSERT_TRUE(SetString(HKEY_CURRENT_USER, X11_TOOL_KEY, "Managed", "N"));
        const POINT away = FarCorner();
        ASSERT_TRUE(MovePointer(away.x, away.y)) << "xdotool could not move the pointer";
    }
    void TearDown() override { RemoveTree(m_base); }
};

// The button shows image nFace by the three-slice stretch, with its caption in the middle
// in crText; nothing else differs.
void ExpectFace(HWND hButton, UINT nFace, COLORREF crText, const char *what)
{
    SCOPED_TRACE(what);
    const Picture shot = CaptureSettled(hButton);
    ASSERT_GT(shot.cx, 0);
    const PictureDiff d = Compare(shot, ExpectedFace(nFace, shot.cx, shot.cy));
    ASSERT_GT(d.nDiffering, 0) << "no caption";
    EXPECT_LT(d.nDiffering, shot.cx * shot.cy / 4) << "not image " << nFace << ": see "
                                                 << shot.Save(std::string("skin-tool-") + what + ".ppm");
    // Every pixel outside the caption's box is the image's.
    EXPECT_GT(d.rcBounds.left, 4);
    EXPECT_LT(d.rcBounds.right, shot.cx - 4);
    EXPECT_GT(d.rcBounds.top, 3);
    EXPECT_LT(d.rcBounds.bottom, shot.cy - 3);
    EXPECT_GT(CountColor(shot, crText), 0);
    if (crText != BLACK) {
        EXPECT_EQ(CountColor(shot, BLACK), 0);
    }
}

// The separator: a line one pixel high with bitmap 133's colours, not a grey band.
void ExpectSeparatorLine(HWND hDlg)
{
    HWND hSeparator = GetDlgItem(hDlg, IDC_SEPARATOR);
    ASSERT_TRUE(hSeparator);
    RECT rc = {};
    GetWindowRect(hSeparator, &rc);
    EXPECT_EQ(rc.bottom - rc.top, 1);
    const Picture line = CaptureSettled(hSeparator);
    ASSERT_EQ(line.cy, 1);
    const Picture image = ExpectedFace(IDB_SEPARATOR, 340, 1);
    ASSERT_EQ(image.cx, 340) << "bitmap 133 not in the resources";
    int foreign = 0;
    for (int x = 0; x < line.cx; ++x) {
        bool found = false;
        for (int c = 0; c < 340 && !found; ++c)
            found = image.At(c, 0) == line.At(x, 0);
        foreign += !found;
    }
    EXPECT_EQ(foreign, 0) << "pixels not from bitmap 133";
}

// Caption-text pixels in the band where the painted title starts, after the small icon.
void ExpectPaintedTitle(HWND hDlg)
{
    const Picture window = CaptureSettled(hDlg, false);
    const int left = GetSystemMetrics(SM_CXFRAME) + 1 + GetSystemMetrics(SM_CXSMICON) + 5;
    const int top = GetSystemMetrics(SM_CYDLGFRAME);
    int text = 0, beforeTitle = 0;
    for (int y = top; y < top + GetSystemMetrics(SM_CYCAPTION) && y < window.cy; ++y) {
        for (int x = left; x < left + 120 && x < window.cx; ++x)
            text += window.At(x, y) == GetSysColor(COLOR_CAPTIONTEXT);
        // Between the icon and the title: the caption's own colour only.
        for (int x = GetSystemMetrics(SM_CXFRAME) + GetSystemMetrics(SM_CXSMICON) + 2; x < left; ++x)
            beforeTitle += window.At(x, y) == GetSysColor(COLOR_CAPTIONTEXT);
    }
    EXPECT_GT(text, 40) << "no title painted after the icon";
    EXPECT_EQ(beforeTitle, 0);
}

TEST_F(SkinnedToolTest, ReinstallMovesTheDownloadButtonWithItsFaceAndSize)
{
    // No install location at all: the product must be downloaded again.
    CToolProcess tool;
    ASSERT_TRUE(tool.Start());
    ToolView view;
    ASSERT_TRUE(tool.WaitForOutcome(&view));
    ASSERT_TRUE(view.reinstall.bVisible);
    ASSERT_FALSE(view.safeStart.bVisible);
    ASSERT_TRUE(view.download.bVisible);
    EXPECT_TRUE(EqualRect(&view.download.rc, &view.safeStart.rc));

    HWND hDlg = tool.Dialog();
    SetForegroundWindow(hDlg);
    ExpectFace(GetDlgItem(hDlg, IDC_DOWNLOAD), IDB_BUTTON_NORMAL, BLACK, "moved download button");
    ExpectSeparatorLine(hDlg);
    ExpectPaintedTitle(hDlg);
}

TEST_F(SkinnedToolTest, SafeStartDisabledAfterADamagedRecheckShowsTheDisabledFace)
{
    // Halvex.exe held open, HalvexMain.exe unsigned and Halvex.exe too small: after the
    // release the re-check finds the product damaged and disables safe start.
    ASSERT_TRUE(m_machine->Prepare({Location::ProductKey, Hijack::None, "unsigned.exe", "maker-99999.exe"}));
    HolderProcess holder;
    ASSERT_TRUE(holder.Start({m_machine->ExePath()}));
    CToolProcess tool;
    ASSERT_TRUE(tool.Start());
    ToolView view;
    ASSERT_TRUE(tool.WaitForOutcome(&view));
    ASSERT_TRUE(view.problem.bVisible);
    ASSERT_TRUE(view.safeStart.bVisible);
    ASSERT_FALSE(view.safeStart.bEnabled);

    HWND hDlg = tool.Dialog();
    SetForegroundWindow(hDlg);
    ExpectFace(GetDlgItem(hDlg, IDC_SAFESTART), IDB_BUTTON_DISABLED, LIGHT_GREY, "disabled safe-start button");
    ExpectFace(GetDlgItem(hDlg, IDC_DOWNLOAD), IDB_BUTTON_NORMAL, BLACK, "download button");
    tool.Stop();
}

} // namespace
