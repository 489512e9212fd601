// Message tables, reflection and the window map, on real windows.
#include "fw/Afx.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

const UINT MSG_BOTH = WM_APP + 1;       // in the base and the derived table
const UINT MSG_BASE_ONLY = WM_APP + 2;  // only in the base table
const UINT MSG_NONE = WM_APP + 3;       // in neither: the window's own procedure answers
const UINT MSG_THROW = WM_APP + 4;
const int ID_CHILD = 100;

LRESULT CALLBACK OriginalProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_APP)
        g_log.push_back("original:" + std::to_string(message - WM_APP));
    if (message == MSG_NONE)
        return 33;
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

const char *TestClassName()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = OriginalProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "HalvexFwTestWindow";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        ::RegisterClassA(&wc);
        registered = true;
    }
    return "HalvexFwTestWindow";
}

class CBaseTestWnd : public CWnd {
public:
    int m_nPostNcDestroy = 0;

protected:
    afx_msg LRESULT OnBoth(WPARAM, LPARAM)
    {
        g_log.push_back("base:both");
        return 1;
    }
    afx_msg LRESULT OnBaseOnly(WPARAM, LPARAM)
    {
        g_log.push_back("base:only");
        return 2;
    }
    void PostNcDestroy() override { ++m_nPostNcDestroy; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseTestWnd, CWnd)
    ON_MESSAGE(MSG_BOTH, OnBoth)
    ON_MESSAGE(MSG_BASE_ONLY, OnBaseOnly)
END_MESSAGE_MAP()

class CDerivedTestWnd : public CBaseTestWnd {
public:
    HBRUSH m_hbrOverride = nullptr;   // answer of OnCtlColor when set

protected:
    afx_msg LRESULT OnBoth(WPARAM, LPARAM)
    {
        g_log.push_back("derived:both");
        return 11;
    }
    afx_msg LRESULT OnThrow(WPARAM, LPARAM)
    {
        g_log.push_back("derived:throw");
        throw std::runtime_error("handler failed");
    }
    afx_msg void OnChildClicked() { g_log.push_back("derived:clicked"); }
    afx_msg HBRUSH OnCtlColor(CDC *pDC, CWnd *pWnd, UINT nCtlColor)
    {
        HBRUSH hbr = CWnd::OnCtlColor(pDC, pWnd, nCtlColor);
        g_log.push_back("derived:ctlcolor");
        return m_hbrOverride ? m_hbrOverride : hbr;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedTestWnd, CBaseTestWnd)
    ON_MESSAGE(MSG_BOTH, OnBoth)
    ON_MESSAGE(MSG_THROW, OnThrow)
    ON_BN_CLICKED(ID_CHILD, OnChildClicked)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

// A child that colours itself and draws itself when its parent hands the requests back.
class CReflectingButton : public CButton {
public:
    CBrush m_brush{RGB(1, 2, 3)};
    bool m_bReflectClick = false;
    std::vector<DRAWITEMSTRUCT> m_draws;

    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override
    {
        m_draws.push_back(*lpDIS);
        ::FillRect(lpDIS->hDC, &lpDIS->rcItem, m_brush);
    }

protected:
    afx_msg HBRUSH CtlColor(CDC *pDC, UINT nCtlColor)
    {
        g_log.push_back("child:ctlcolor:" + std::to_string(nCtlColor));
        pDC->SetBkColor(RGB(1, 2, 3));
        return m_brush;
    }
    afx_msg void OnReflectedClick() { g_log.push_back("child:clicked"); }
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *pResult) override
    {
        if (message == WM_COMMAND && !m_bReflectClick)
            return FALSE;
        return CButton::OnChildNotify(message, wParam, lParam, pResult);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectingButton, CButton)
    ON_WM_CTLCOLOR_REFLECT()
    ON_CONTROL_REFLECT(BN_CLICKED, OnReflectedClick)
END_MESSAGE_MAP()

struct DispatchFixture : ::testing::Test {
    CDerivedTestWnd wnd;
    HWND hWnd = nullptr;

    void SetUp() override
    {
        g_log.clear();
        hWnd = ::CreateWindowExA(0, TestClassName(), "test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                 10, 300, 200, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(hWnd);
        ASSERT_TRUE(wnd.SubclassWindow(hWnd));
    }
    void TearDown() override
    {
        if (::IsWindow(hWnd))
            ::DestroyWindow(hWnd);
        CWnd::DeleteTempMap();
    }
    HWND CreateChild(DWORD style)
    {
        return ::CreateWindowExA(0, "BUTTON", "child", WS_CHILD | WS_VISIBLE | style, 10, 10, 100,
                                 30, hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_CHILD)),
                                 ::GetModuleHandleA(nullptr), nullptr);
    }
};

TEST_F(DispatchFixture, DerivedTableFirstThenBaseThenOriginalProcedure)
{
    struct Case {
        UINT message;
        LRESULT result;
        std::vector<std::string> log;
    } cases[] = {
        {MSG_BOTH, 11, {"derived:both"}},
        {MSG_BASE_ONLY, 2, {"base:only"}},
        {MSG_NONE, 33, {"original:3"}},
    };
    for (const Case &c : cases) {
        g_log.clear();
        EXPECT_EQ(::SendMessageA(hWnd, c.message, 0, 0), c.result) << c.message - WM_APP;
        EXPECT_EQ(g_log, c.log) << c.message - WM_APP;
    }
}

TEST_F(DispatchFixture, NoExceptionLeavesTheWindowProcedure)
{
    EXPECT_EQ(::SendMessageA(hWnd, MSG_THROW, 0, 0), 0);
    EXPECT_EQ(::SendMessageA(hWnd, MSG_BOTH, 0, 0), 11);
    EXPECT_EQ(g_log, (std::vector<std::string>{"derived:throw", "derived:both"}));
}

TEST_F(DispatchFixture, ColourRequestReflectedToTheChildObject)
{
    CReflectingButton child;
    HWND hChild = CreateChild(BS_PUSHBUTTON);
    ASSERT_TRUE(child.SubclassWindow(hChild));
    HWND hPlain = ::CreateWindowExA(0, "STATIC", "plain", WS_CHILD | WS_VISIBLE, 10, 50, 100, 20,
                                    hWnd, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    HDC hdc = ::GetDC(hWnd);

    // The child answers for itself; the parent's handler still runs and keeps its answer.
    LRESULT r = ::SendMessageA(hWnd, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(hdc),
                               reinterpret_cast<LPARAM>(hChild));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(r), static_cast<HBRUSH>(child.m_brush));
    EXPECT_EQ(::GetBkColor(hdc), RGB(1, 2, 3));
    EXPECT_EQ(g_log, (std::vector<std::string>{"child:ctlcolor:" + std::to_string(CTLCOLOR_BTN),
                                               "derived:ctlcolor"}));

    // A control without an object gets the default answer.
    g_log.clear();
    r = ::SendMessageA(hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                       reinterpret_cast<LPARAM>(hPlain));
    EXPECT_NE(r, 0);
    EXPECT_NE(reinterpret_cast<HBRUSH>(r), static_cast<HBRUSH>(child.m_brush));
    EXPECT_EQ(g_log, (std::vector<std::string>{"derived:ctlcolor"}));

    // The parent's own answer wins over the child's when it gives one.
    CBrush parentBrush(RGB(9, 9, 9));
    wnd.m_hbrOverride = parentBrush;
    r = ::SendMessageA(hWnd, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(hdc),
                       reinterpret_cast<LPARAM>(hChild));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(r), static_cast<HBRUSH>(parentBrush));
    wnd.m_hbrOverride = nullptr;
    ::ReleaseDC(hWnd, hdc);
}

TEST_F(DispatchFixture, OwnerDrawnButtonDrawsItselfThroughReflection)
{
    CReflectingButton child;
    HWND hChild = CreateChild(BS_OWNERDRAW);
    ASSERT_TRUE(child.SubclassWindow(hChild));
    ::InvalidateRect(hChild, nullptr, TRUE);
    ::UpdateWindow(hChild);
    ASSERT_FALSE(child.m_draws.empty());
    EXPECT_EQ(child.m_draws.back().hwndItem, hChild);
    EXPECT_EQ(child.m_draws.back().CtlID, static_cast<UINT>(ID_CHILD));
    EXPECT_EQ(child.m_draws.back().CtlType, static_cast<UINT>(ODT_BUTTON));
    // What the child drew is on the screen.
    HDC hdc = ::GetDC(hChild);
    EXPECT_EQ(::GetPixel(hdc, 5, 5), RGB(1, 2, 3));
    ::ReleaseDC(hChild, hdc);
}

TEST_F(DispatchFixture, ClickGoesToTheChildFirstWhenItTakesIt)
{
    CReflectingButton child;
    HWND hChild = CreateChild(BS_PUSHBUTTON);
    ASSERT_TRUE(child.SubclassWindow(hChild));
    struct Case {
        bool reflect;
        std::vector<std::string> log;
    } cases[] = {
        {false, {"derived:clicked"}},
        {true, {"child:clicked"}},
    };
    for (const Case &c : cases) {
        g_log.clear();
        child.m_bReflectClick = c.reflect;
        ::SendMessageA(hChild, BM_CLICK, 0, 0);
        EXPECT_EQ(g_log, c.log) << c.reflect;
    }
}

TEST_F(DispatchFixture, MapForgetsDestroyedWindows)
{
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &wnd);
    ::DestroyWindow(hWnd);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.m_nPostNcDestroy, 1);

    // An object that goes first takes its window with it.
    HWND hOther = ::CreateWindowExA(0, TestClassName(), "other", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                    100, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    {
        CBaseTestWnd other;
        ASSERT_TRUE(other.SubclassWindow(hOther));
    }
    EXPECT_FALSE(::IsWindow(hOther));
    EXPECT_EQ(CWnd::FromHandlePermanent(hOther), nullptr);
}

TEST_F(DispatchFixture, UnsubclassGivesTheWindowItsProcedureBack)
{
    EXPECT_EQ(wnd.UnsubclassWindow(), hWnd);
    EXPECT_EQ(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&OriginalProc));
    g_log.clear();
    EXPECT_EQ(::SendMessageA(hWnd, MSG_BOTH, 0, 0), 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"original:1"}));
    EXPECT_FALSE(wnd.SubclassWindow(nullptr));
}

} // namespace
