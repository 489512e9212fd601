// The real HalvexFix.exe releasing a held-open Halvex.exe, watched from outside: the 17 x 17
// spinner of its release panel turns at 100 ms a frame on light blue, and is never a flat
// square.
#include "res/resource.h"
#include "tests/gif/SpinnerLooks.h"
#include "tests/gif/WindowProbe.h"
#include "tests/release/HolderProcess.h"
#include "tests/scenario/ToolProcess.h"
#include "tests/support/FileTree.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/RegistryBackup.h"
#include "tests/support/RegistryKeys.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char APP_DEFAULTS_KEY[] = "Software\\Wine\\AppDefaults";
const char X11_TOOL_KEY[] = "Software\\Wine\\AppDefaults\\HalvexFix.exe\\X11 Driver";
const COLORREF LIGHT_BLUE = RGB(235, 248, 255);
// Copies of one file handle this test holds, so that the walk, and the spinner, last seconds.
const long WALK_FILLER = 80000;

class ReleaseSpinnerTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_base = FreshTestDir("hx spinner");
        ASSERT_FALSE(m_base.empty());
        m_machine.reset(new CProductMachine(m_base));
        // The tool's windows are left unmanaged, as in the scenario tests.
        ASSERT_TRUE(SetString(HKEY_CURRENT_USER, X11_TOOL_KEY, "Managed", "N"));
    }
    void TearDown() override { RemoveTree(m_base); }

    std::string m_base;
    std::unique_ptr<CProductMachine> m_machine;
    CRegistryBackup m_appDefaults{HKEY_CURRENT_USER, APP_DEFAULTS_KEY};
};

TEST_F(ReleaseSpinnerTest, SpinnerTurnsWhileTheToolReleases)
{
    ASSERT_TRUE(m_machine->Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}));

    // The walk examines every file handle of every process: this one holds many copies of
    // one handle (copies cost the server no descriptor, unlike opens).
    const std::string filler = m_base + "\\filler.dat";
    HANDLE hFiller = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(hFiller, INVALID_HANDLE_VALUE);
    std::vector<HANDLE> copies;
    copies.reserve(WALK_FILLER);
    for (long i = 0; i < WALK_FILLER; ++i) {
        HANDLE hCopy = nullptr;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), hFiller, GetCurrentProcess(), &hCopy, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS));
        copies.push_back(hCopy);
    }
    struct CloseAll {
        std::vector<HANDLE> &handles;
        HANDLE file;
        ~CloseAll()
        {
            for (HANDLE h : handles)
                CloseHandle(h);
            CloseHandle(file);
        }
    } closeAll{copies, hFiller};
    HolderProcess holder;
    ASSERT_TRUE(holder.Start({m_machine->ExePath()}));

    CToolProcess tool;
    ASSERT_TRUE(tool.Start());
    ToolView view;
    ASSERT_TRUE(tool.WaitFor([](const ToolView &v) { return v.bDialog && v.release.bVisible; }, 20000, &view));

    HWND hPanel = nullptr;
    for (HWND hChild = GetWindow(tool.Dialog(), GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT))
        if (GetDlgItem(hChild, IDC_RELEASE_TEXT))
            hPanel = hChild;
    ASSERT_TRUE(hPanel);
    HWND hSpinner = GetDlgItem(hPanel, IDC_SPINNER);
    ASSERT_TRUE(hSpinner);
    RECT rc = {};
    GetWindowRect(hSpinner, &rc);
    EXPECT_EQ(rc.right - rc.left, 17);
    EXPECT_EQ(rc.bottom - rc.top, 17);

    // Each change of the spinner on screen while the release runs.
    std::vector<PictureChange> changes;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 2000 && IsWindowVisible(hPanel)) {
        Pixels p = CaptureScreen(rc);
        if (changes.empty() || p != changes.back().pixels)
            changes.push_back({GetTickCount() - start, std::move(p)});
        Sleep(5);
    }
    const DWORD watched = GetTickCount() - start;
    ASSERT_GE(watched, 1200u) << "the release ended before the spinner could be watched for a turn and a half";
    ASSERT_GE(changes.size(), 10u) << "the spinner should turn";
    for (const PictureChange &c : changes) {
        EXPECT_GE(c.pixels.DistinctColours(), 3u) << "a flat square at " << c.ms << " ms";
        EXPECT_EQ(c.pixels.At(0, 0), LIGHT_BLUE);
    }
    const SpinnerLooks spinner(changes);
    EXPECT_EQ(spinner.looks.size(), 7u);
    // One turn: eight frames of 100 ms.
    ASSERT_GE(spinner.turns.size(), 3u) << "watched " << watched << " ms";
    EXPECT_GE(spinner.MedianTurn(), 640u);
    EXPECT_LE(spinner.MedianTurn(), 1100u);

    // Closed during the release, with the spinner turning, the tool still ends at once.
    const DWORD closing = GetTickCount();
    tool.Post(WM_CLOSE, 0, 0);
    EXPECT_TRUE(tool.WaitForExit(2000)) << "still running 2 s after closing";
    EXPECT_LT(GetTickCount() - closing, 2000u);
}

} // namespace
