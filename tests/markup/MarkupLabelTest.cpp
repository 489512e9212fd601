// The markup label on real windows: the advice panel with its forum label inside a host
// dialog, as the tool builds it. Messages are sent as the system sends them; the mouse
// pointer is moved for real (xdotool); the fake browser records the pages opened.
#include "app/AdvicePanel.h"
#include "fw/Afx.h"
#include "markup/CMarkupLabel.h"
#include "res/resource.h"
#include "tests/markup/XPointer.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileTree.h"
#include "tests/support/RegistryBackup.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestPaths.h"

#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const COLORREF BACKGROUND = RGB(235, 248, 255);
const UINT LINK_CODE = 0x070B;
const char HTTP_COMMAND_KEY[] = "http\\shell\\open\\command";
// The forum sentence's text before the link, and the link, in GBK.
const char BEFORE_LINK[] = "如果您的Halvex仍无法正常使用，请到";
const char LINK_TEXT[] = "点这里";

void Pump(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(5);
    } while (::GetTickCount() - start < ms);
}

// Pumps messages until the condition holds or the time is up.
template <class Condition> bool PumpUntil(Condition condition, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        Pump(10);
    }
    return true;
}

struct Notification {
    WPARAM wParam;
    NMHDR hdr;
    ENLINK link;   // valid when hdr.code is the link code
};

// The real advice panel, recording every notification before handling it and every one
// that gets through to the message table.
class CProbePanel : public CAdvicePanel {
public:
    std::vector<Notification> received;
    std::vector<UINT> reachedTable;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT *pResult) override
    {
        Notification n = {};
        n.wParam = wParam;
        n.hdr = *reinterpret_cast<const NMHDR *>(lParam);
        if (n.hdr.code == LINK_CODE)
            n.link = *reinterpret_cast<const ENLINK *>(lParam);
        received.push_back(n);
        return CAdvicePanel::OnNotify(wParam, lParam, pResult);
    }
    void OnLinkInTable(NMHDR *pHdr, LRESULT *) { reachedTable.push_back(pHdr->code); }
    void OnClickInTable(NMHDR *pHdr, LRESULT *) { reachedTable.push_back(pHdr->code); }
    void OnOtherInTable(NMHDR *pHdr, LRESULT *) { reachedTable.push_back(pHdr->code); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProbePanel, CAdvicePanel)
    ON_NOTIFY(LINK_CODE, IDC_FORUM_LINK, OnLinkInTable)
    ON_NOTIFY(NM_CLICK, IDC_FORUM_LINK, OnClickInTable)
    ON_NOTIFY(LINK_CODE, IDC_ADVICE_TEXT, OnOtherInTable)
END_MESSAGE_MAP()

int CountRebuild(LPARAM lContext, CDC *, RECT *)
{
    ++*reinterpret_cast<int *>(lContext);
    return 0;
}

// A host dialog with the advice panel shown under its banner, the forum sentence set as the
// main dialog sets it, and a fake browser registered.
class LabelFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = FreshTestDir("hx markup");
        ASSERT_FALSE(m_dir.empty());
        m_log = m_dir + "\\browser.log";
        ::SetEnvironmentVariableA("HALVEX_LAUNCH_LOG", m_log.c_str());
        ASSERT_TRUE(SetString(HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY, nullptr,
                              "\"" + ExeDir() + "\\launch_probe.exe\" \"%1\""));

        ASSERT_TRUE(m_host.Create(IDD_REPAIR_DIALOG, nullptr));
        ASSERT_TRUE(m_panel.Create(IDD_ADVICE_PANEL, &m_host));
        m_label = &m_panel.m_lblForum;
        ASSERT_TRUE(m_label->m_hWnd);
        m_label->m_pfnBackground = CountRebuild;
        m_label->m_pBackgroundContext = reinterpret_cast<LPARAM>(&m_rebuilds);
        m_label->SetMarkupText(FORUM_SENTENCE);
        CRect rc;
        m_host.GetClientRect(&rc);
        CRect rcPanel;
        m_panel.GetWindowRect(&rcPanel);
        m_panel.MoveWindow(0, 80, rc.Width(), rcPanel.Height());
        m_panel.ShowWindow(SW_SHOW);
        ::SetWindowPos(m_host.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        m_host.UpdateWindow();
        Pump(100);
    }
    void TearDown() override
    {
        m_panel.DestroyWindow();
        m_host.DestroyWindow();
        ::SetEnvironmentVariableA("HALVEX_LAUNCH_LOG", nullptr);
        RemoveTree(m_dir);
    }

    // The first piece of the run with this text.
    const LineFragment *PieceOf(const char *text) const
    {
        for (const auto &run : m_label->m_runs)
            if (!run->bIsCode && run->strText == text && !run->fragments.empty())
                return &run->fragments.front();
        return nullptr;
    }
    POINT Inside(const FragmentRect &rc, int dx = -1) const
    {
        POINT pt = {dx < 0 ? (rc.left + rc.right) / 2 : rc.left + dx, (rc.top + rc.bottom) / 2};
        return pt;
    }
    void Press(POINT pt)
    {
        ::SendMessageA(m_label->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        ::SendMessageA(m_label->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    }
    std::vector<std::string> WaitForPages(size_t count)
    {
        std::vector<std::string> pages;
        PumpUntil([&] { return (pages = LinesOf(m_log)).size() >= count; }, 10000);
        return pages;
    }
    std::vector<Notification> LinkNotifications() const
    {
        std::vector<Notification> out;
        for (const Notification &n : m_panel.received)
            if (n.hdr.code == LINK_CODE)
                out.push_back(n);
        return out;
    }
    // Pixels of the label's client area as the screen shows them.
    std::vector<COLORREF> Capture(int &cx, int &cy)
    {
        CRect rc;
        m_label->GetClientRect(&rc);
        cx = rc.Width();
        cy = rc.Height();
        std::vector<COLORREF> pixels;
        HDC hdc = ::GetDC(m_label->m_hWnd);
        for (int y = 0; y < cy; ++y)
            for (int x = 0; x < cx; ++x)
                pixels.push_back(::GetPixel(hdc, x, y));
        ::ReleaseDC(m_label->m_hWnd, hdc);
        return pixels;
    }

    CRegistryBackup m_httpCommand{HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY};
    std::string m_dir;
    std::string m_log;
    CDialog m_host{IDD_REPAIR_DIALOG};
    CProbePanel m_panel;
    CMarkupLabel *m_label = nullptr;
    int m_rebuilds = 0;
};

TEST(MarkupLabelStyleTest, DefaultStyleIsTheStockFontInTahoma12)
{
    LOGFONTA stock = {};
    ASSERT_EQ(::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock), static_cast<int>(sizeof(stock)));
    const TextStyle style = CMarkupLabel::DefaultStyle();
    EXPECT_STREQ(style.lf.lfFaceName, "Tahoma");
    EXPECT_EQ(style.lf.lfHeight, -12);
    EXPECT_EQ(style.lf.lfWeight, stock.lfWeight);
    EXPECT_EQ(style.lf.lfCharSet, stock.lfCharSet);
    EXPECT_EQ(style.lf.lfUnderline, 0);
    EXPECT_FALSE(style.bHasTextColor);
    EXPECT_FALSE(style.bHasBackColor);
    EXPECT_FALSE(style.bLineUnderline);
    EXPECT_EQ(style.nLink, 0u);
}

TEST_F(LabelFixture, ForumSentenceIsParsedAndPaintedOnTheLightBlue)
{
    ASSERT_EQ(m_label->m_runs.size(), 9u);
    EXPECT_EQ(std::string(m_label->m_strPlain), std::string(BEFORE_LINK) + LINK_TEXT + "到论坛查看帮助和反馈。");
    EXPECT_EQ(::GetWindowTextLengthA(m_label->m_hWnd), 0);
    const LineFragment *link = PieceOf(LINK_TEXT);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->nLink, 1u);
    EXPECT_EQ(link->rc.top, 0);
    EXPECT_EQ(m_rebuilds, 1);
    EXPECT_EQ(m_label->m_crDefaultBack, BACKGROUND);

    int cx = 0, cy = 0;
    const std::vector<COLORREF> pixels = Capture(cx, cy);
    int blue = 0, blueOutside = 0, dark = 0;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            const COLORREF c = pixels[y * cx + x];
            if (c == RGB(0, 0, 255)) {
                ++blue;
                blueOutside += !link->rc.Contains(x, y);
            } else if (GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128) {
                ++dark;
            }
        }
    EXPECT_GT(blue, 30);
    EXPECT_EQ(blueOutside, 0);
    EXPECT_GT(dark, 100);
    EXPECT_EQ(pixels[cy * cx - 1], BACKGROUND);   // right of and below the text
}

TEST_F(LabelFixture, ClickOnTheLinkNotifiesOnceAndOpensTheForumPage)
{
    const LineFragment *link = PieceOf(LINK_TEXT);
    const LineFragment *before = PieceOf(BEFORE_LINK);
    ASSERT_TRUE(link && before);

    // Plain text, before and after the link and below the line: nothing.
    const POINT plain[] = {Inside(before->rc), {link->rc.right + 5, (link->rc.top + link->rc.bottom) / 2},
                           {link->rc.left + 2, link->rc.bottom}, {link->rc.left - 1, link->rc.top}};
    for (const POINT &pt : plain)
        Press(pt);
    EXPECT_TRUE(LinkNotifications().empty());

    const POINT pt = Inside(link->rc);
    Press(pt);
    std::vector<Notification> sent = LinkNotifications();
    ASSERT_EQ(sent.size(), 1u);
    const Notification &n = sent[0];
    EXPECT_EQ(LOWORD(n.wParam), IDC_FORUM_LINK);
    EXPECT_EQ(HIWORD(n.wParam), LINK_CODE);
    EXPECT_EQ(n.hdr.hwndFrom, m_label->m_hWnd);
    EXPECT_EQ(n.hdr.idFrom, static_cast<UINT_PTR>(IDC_FORUM_LINK));
    EXPECT_EQ(n.link.msg, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(n.link.wParam, 1u);
    EXPECT_EQ(n.link.lParam, MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(n.link.chrg.cpMin, static_cast<LONG>(strlen(BEFORE_LINK)));
    EXPECT_EQ(n.link.chrg.cpMax, static_cast<LONG>(strlen(BEFORE_LINK) + strlen(LINK_TEXT)));
    EXPECT_EQ(std::string(m_label->m_strClickedLink), LINK_TEXT);
    EXPECT_EQ(m_panel.reachedTable, std::vector<UINT>{LINK_CODE});

    const std::string page = ExeDir() + "\\launch_probe.exe\t" + FORUM_PAGE;
    EXPECT_EQ(WaitForPages(1), std::vector<std::string>{page});

    // Every click opens the page again; nothing is remembered.
    Press(Inside(link->rc, 1));
    EXPECT_EQ(LinkNotifications().size(), 2u);
    EXPECT_EQ(WaitForPages(2), (std::vector<std::string>{page, page}));
}

TEST_F(LabelFixture, OnlyTheForumLinksCodeFromItsLabelOpensThePage)
{
    struct Case {
        const char *name;
        int id;
        UINT code;
        bool opens;
    } cases[] = {
        {"other code from the link label", IDC_FORUM_LINK, NM_CLICK, false},
        {"link code from another control", IDC_ADVICE_TEXT, LINK_CODE, false},
        {"link code from the link label", IDC_FORUM_LINK, LINK_CODE, true},
    };
    size_t pages = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_panel.reachedTable.clear();
        ENLINK link = {};
        link.nmhdr.hwndFrom = ::GetDlgItem(m_panel.m_hWnd, c.id);
        link.nmhdr.idFrom = static_cast<UINT_PTR>(c.id);
        link.nmhdr.code = c.code;
        ::SendMessageA(m_panel.m_hWnd, WM_NOTIFY, MAKEWPARAM(c.id, c.code), reinterpret_cast<LPARAM>(&link));
        // Handled or not, it reaches the message table.
        EXPECT_EQ(m_panel.reachedTable, std::vector<UINT>{c.code});
        if (c.opens)
            ++pages;
        EXPECT_EQ(WaitForPages(pages).size(), pages);
    }
    // Nothing more arrives late.
    Pump(500);
    EXPECT_EQ(LinesOf(m_log).size(), pages);
}

TEST_F(LabelFixture, CursorIsTheHandOnlyOverLiveLinks)
{
    ASSERT_TRUE(XPointerAvailable()) << "xdotool is missing (tools/bootstrap.sh installs it)";
    m_label->SetMarkupText("ab|h01cdef|~h  |h02ghij|~h  kl");
    const LineFragment *live = PieceOf("cdef");
    const LineFragment *inert = PieceOf("ghij");
    const LineFragment *plain = PieceOf("ab");
    ASSERT_TRUE(live && inert && plain);
    CRect rcClient;
    m_label->GetClientRect(&rcClient);
    const HCURSOR hand = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));
    struct Case {
        const char *name;
        POINT pt;
        bool hand;
    } cases[] = {
        {"live link", Inside(live->rc), true},
        {"plain text", Inside(plain->rc), false},
        {"link value 2", Inside(inert->rc), false},
        {"live link again", Inside(live->rc, 1), true},
        {"outside every piece", {rcClient.right - 2, rcClient.bottom - 1}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        POINT screen = c.pt;
        m_label->ClientToScreen(&screen);
        ASSERT_TRUE(MovePointer(screen.x, screen.y));
        EXPECT_TRUE(PumpUntil([&] { return (::GetCursor() == hand) == c.hand && ::GetCursor(); }, 3000))
            << ::GetCursor();
    }
}

TEST_F(LabelFixture, ResizeLaysOutAgainAndARepaintOnlyCopiesTheCache)
{
    ASSERT_EQ(m_rebuilds, 1);
    int cx = 0, cy = 0;
    const std::vector<COLORREF> before = Capture(cx, cy);

    // Repaint without a change: the cached image comes back, nothing is laid out or drawn.
    for (BOOL erase : {FALSE, TRUE}) {
        m_label->InvalidateRect(nullptr, erase);
        m_label->UpdateWindow();
        m_host.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    EXPECT_EQ(m_rebuilds, 1);
    int cx2 = 0, cy2 = 0;
    EXPECT_EQ(Capture(cx2, cy2), before);

    // Narrower: the sentence breaks into more lines at the next paint.
    CRect rc;
    m_label->GetWindowRect(&rc);
    m_panel.ScreenToClient(&rc);
    m_label->MoveWindow(rc.left, rc.top, 120, rc.Height() * 4);
    m_label->UpdateWindow();
    EXPECT_EQ(m_rebuilds, 2);
    int lines = 0;
    for (const auto &run : m_label->m_runs)
        for (const LineFragment &f : run->fragments) {
            EXPECT_LE(f.rc.right, 120);
            lines += f.rc.left == 0 && !f.strText.IsEmpty();
        }
    EXPECT_GE(lines, 3);

    // Back to the old size: one line again.
    m_label->MoveWindow(rc.left, rc.top, rc.Width(), rc.Height());
    m_label->UpdateWindow();
    EXPECT_EQ(m_rebuilds, 3);
    for (const auto &run : m_label->m_runs)
        for (const LineFragment &f : run->fragments)
            EXPECT_EQ(f.rc.top, 0);
}

TEST_F(LabelFixture, SameMarkupAgainNeitherParsesNorRedraws)
{
    const MarkupRun *first = m_label->m_runs.front().get();
    m_label->m_bTextSet = FALSE;
    m_label->SetMarkupText(FORUM_SENTENCE);
    EXPECT_TRUE(m_label->m_bTextSet);
    EXPECT_EQ(m_label->m_runs.front().get(), first);
    RECT update = {};
    EXPECT_FALSE(::GetUpdateRect(m_label->m_hWnd, &update, FALSE));
    EXPECT_EQ(m_rebuilds, 1);

    // A new markup is parsed and painted before the call returns.
    m_label->SetMarkupText("x|by");
    EXPECT_EQ(m_label->m_runs.size(), 3u);
    EXPECT_EQ(m_rebuilds, 2);
    EXPECT_FALSE(m_label->m_bLayoutDirty);
}

TEST_F(LabelFixture, WithoutMarkupTheWindowTextIsTakenAtTheFirstPaint)
{
    HWND hStatic = ::CreateWindowExA(0, "STATIC", "ab|bcd", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 10, 40, 200, 20,
                                     m_panel.m_hWnd, reinterpret_cast<HMENU>(2000), ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(hStatic);
    CMarkupLabel label;
    ASSERT_TRUE(label.SubclassWindow(hStatic));
    EXPECT_EQ(::GetWindowTextLengthA(hStatic), 6);   // kept until markup is set
    label.RedrawWindow();
    EXPECT_EQ(std::string(label.m_strMarkup), "ab|bcd");
    EXPECT_EQ(label.m_runs.size(), 3u);
    EXPECT_EQ(::GetWindowTextLengthA(hStatic), 0);

    // Destroying the window empties the content.
    label.DestroyWindow();
    EXPECT_TRUE(label.m_runs.empty());
    EXPECT_TRUE(label.m_strMarkup.IsEmpty());
    EXPECT_FALSE(label.m_bTextSet);
}

} // namespace
