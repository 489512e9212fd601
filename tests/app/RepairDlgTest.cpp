// The real HalvexFix.exe (next to this test) on the screen: panels, background, banner, exit.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/TestPaths.h"

namespace {

const COLORREF BACKGROUND = RGB(235, 248, 255);

// The tool's visible dialog, or null.
HWND VisibleDialogOf(DWORD processId)
{
    for (HWND hWnd : DialogWindowsOf(processId))
        if (::IsWindowVisible(hWnd))
            return hWnd;
    return nullptr;
}

// A running tool with its dialog found and painted.
struct RunningTool {
    PROCESS_INFORMATION pi = {};
    HWND hDlg = nullptr;

    void Start()
    {
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        std::string cmd = "\"" + ToolPath() + "\"";
        ASSERT_TRUE(::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &si, &pi))
            << ::GetLastError();
        HWND hFound = nullptr;
        for (int i = 0; i < 200 && !hFound; ++i) {
            hFound = VisibleDialogOf(pi.dwProcessId);
            if (!hFound)
                ::Sleep(50);
        }
        ASSERT_TRUE(hFound) << "no dialog window";
        hDlg = hFound;
        ::WaitForInputIdle(pi.hProcess, 5000);
        ::SetForegroundWindow(hDlg);
        ::RedrawWindow(hDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        ::Sleep(300);
    }
    void Stop()
    {
        if (pi.hProcess) {
            if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(pi.hProcess, 1);
                ::WaitForSingleObject(pi.hProcess, 5000);
            }
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
            pi = PROCESS_INFORMATION{};
        }
    }
    ~RunningTool() { Stop(); }
    // Pixel of the dialog's client area as the screen shows it.
    COLORREF ClientPixel(int x, int y)
    {
        POINT pt = {x, y};
        ::ClientToScreen(hDlg, &pt);
        HDC hdc = ::GetDC(nullptr);
        COLORREF c = ::GetPixel(hdc, pt.x, pt.y);
        ::ReleaseDC(nullptr, hdc);
        return c;
    }
};

struct ToolFixture : ::testing::Test, RunningTool {
    void SetUp() override { Start(); }
};

// Pixel size of a template rectangle in the dialog font, measured on a dialog of our own made
// from the same template.
SIZE DialogUnitsToPixels(int cx, int cy)
{
    HWND hDlg = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_REPAIR_DIALOG),
                                     nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    RECT rc = {0, 0, cx, cy};
    ::MapDialogRect(hDlg, &rc);
    ::DestroyWindow(hDlg);
    return SIZE{rc.right, rc.bottom};
}

TEST_F(ToolFixture, PanelsAreChildrenOfTheirTemplateSize)
{
    struct Case {
        const char *name;
        int markerControl;   // a control only this panel has
        int cx, cy;          // template size in dialog units
    } cases[] = {
        {"advice", IDC_ADVICE_TEXT, 401, 61},
        {"problem", IDC_PROBLEM_LIST, 369, 86},
        {"reinstall", IDC_REINSTALL_TEXT, 334, 23},
        {"release", IDC_RELEASE_TEXT, 366, 23},
    };
    std::vector<HWND> panels;
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        char cls[64] = {};
        ::GetClassNameA(h, cls, sizeof(cls));
        if (std::string(cls) == "#32770")
            panels.push_back(h);
    }
    EXPECT_EQ(panels.size(), 4u);
    for (const Case &c : cases) {
        HWND panel = nullptr;
        for (HWND h : panels)
            if (::GetDlgItem(h, c.markerControl))
                panel = h;
        ASSERT_TRUE(panel) << c.name;
        // The panels are created hidden; on this prefix no product is installed, so the
        // outcome shows the reinstall panel only.
        EXPECT_EQ(::IsWindowVisible(panel) != FALSE, c.markerControl == IDC_REINSTALL_TEXT) << c.name;
        EXPECT_TRUE(::GetWindowLongPtrA(panel, GWL_STYLE) & WS_CHILD) << c.name;
        RECT rc = {};
        ::GetWindowRect(panel, &rc);
        const SIZE expected = DialogUnitsToPixels(c.cx, c.cy);
        // A shown panel spans the client width; its height stays the template's.
        RECT rcClient = {};
        ::GetClientRect(hDlg, &rcClient);
        EXPECT_EQ(rc.right - rc.left, ::IsWindowVisible(panel) ? rcClient.right : expected.cx) << c.name;
        EXPECT_EQ(rc.bottom - rc.top, expected.cy) << c.name;
    }
}

TEST_F(ToolFixture, BackgroundIsLightBlueAndTheBannerIsDrawnAcrossTheTop)
{
    RECT rc = {};
    ::GetClientRect(hDlg, &rc);
    ASSERT_GT(rc.right, 100);
    // Below the banner, left of the buttons, above the separator: plain background.
    for (int x : {5, static_cast<int>(rc.right / 4), static_cast<int>(rc.right / 2)})
        EXPECT_EQ(ClientPixel(x, 150), BACKGROUND) << x;
    // The banner covers its rows: most pixels there are not the background.
    int banner = 0, total = 0;
    for (int y : {10, 30, 50})
        for (int x = 0; x < rc.right; x += 7, ++total)
            banner += ClientPixel(x, y) != BACKGROUND;
    EXPECT_GT(banner, total * 3 / 4) << banner << " of " << total;
}

TEST(ToolExitTest, EscCancelAndCloseEndTheProcessPromptly)
{
    struct Case {
        const char *name;
        UINT message;
        WPARAM wParam;
    } cases[] = {
        {"escape key", WM_KEYDOWN, VK_ESCAPE},
        {"cancel command", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)},
        {"close box", WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const Case &c : cases) {
        RunningTool tool;
        tool.Start();
        ASSERT_TRUE(tool.hDlg) << c.name;
        ::PostMessageA(tool.hDlg, c.message, c.wParam, 0);
        EXPECT_EQ(::WaitForSingleObject(tool.pi.hProcess, 5000), WAIT_OBJECT_0) << c.name;
        DWORD code = 1;
        ::GetExitCodeProcess(tool.pi.hProcess, &code);
        EXPECT_EQ(code, 0u) << c.name;
    }
}

} // namespace
