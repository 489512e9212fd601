// The image buttons on real windows: faces by the three-slice stretch, the looks the real
// mouse brings (through the X server, as a user's hand would), clicks, and no tooltip.
#include "skin/CSkinButton.h"

#include <commctrl.h>
#include <oleacc.h>

#include "fw/Afx.h"
#include "res/resource.h"
#include "tests/skin/SkinTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const COLORREF BLACK = RGB(0, 0, 0);
const COLORREF LIGHT_GREY = RGB(192, 192, 192);

// A button whose state the test can read and set.
class CProbeButton : public CSkinButton {
public:
    using CSkinButton::m_bHover;
    using CSkinButton::m_bPressed;
    using CSkinButton::m_bTracking;
    using CSkinButton::m_strText;
    using CSkinButton::m_toolTip;
    int m_nPreTranslatedMoves = 0;

    BOOL PreTranslateMessage(MSG *pMsg) override
    {
        if (pMsg->message == WM_MOUSEMOVE)
            ++m_nPreTranslatedMoves;
        return CSkinButton::PreTranslateMessage(pMsg);
    }
};

// The main dialog's template with its two buttons skinned as the tool skins them.
class CButtonDlg : public CDialog {
public:
    CButtonDlg() : CDialog(IDD_REPAIR_DIALOG) {}
    CProbeButton m_btnDownload;
    CProbeButton m_btnSafeStart;
    int m_nDownloadClicks = 0;
    int m_nRelayedMoves = 0;
    bool m_bEmptySafeStart = false;   // the safe-start button without a caption: its bare face
    bool m_bCloseAtOnce = false;      // for the modal loop: a move, then close

protected:
    void DoDataExchange(CDataExchange *pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_DOWNLOAD, m_btnDownload);
        DDX_Control(pDX, IDC_SAFESTART, m_btnSafeStart);
    }
    BOOL OnInitDialog() override
    {
        if (m_bEmptySafeStart)
            ::SetDlgItemTextA(m_hWnd, IDC_SAFESTART, "");
        CDialog::OnInitDialog();
        m_btnSafeStart.SetBitmaps(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_BUTTON_PRESSED, IDB_BUTTON_DISABLED);
        m_btnDownload.SetBitmaps(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_BUTTON_PRESSED, IDB_BUTTON_DISABLED);
        ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
        if (m_bCloseAtOnce) {
            ::PostMessageA(m_btnDownload.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
            PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        return TRUE;
    }
    afx_msg void OnDownload() { ++m_nDownloadClicks; }
    afx_msg LRESULT OnMouseMove(WPARAM wParam, LPARAM)
    {
        if (wParam & 0x80000000u)
            ++m_nRelayedMoves;
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CButtonDlg, CDialog)
    ON_BN_CLICKED(IDC_DOWNLOAD, OnDownload)
    ON_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
END_MESSAGE_MAP()

struct ButtonFixture : ::testing::Test {
    CButtonDlg dlg;

    void SetUp() override
    {
        const POINT away = FarCorner();
        ASSERT_TRUE(MovePointer(away.x, away.y)) << "xdotool could not move the pointer";
    }
    void Open()
    {
        ASSERT_TRUE(dlg.Create(IDD_REPAIR_DIALOG, nullptr));
        ::SetForegroundWindow(dlg.m_hWnd);
        PumpMessages(100);
    }
    void TearDown() override
    {
        if (dlg.m_hWnd)
            dlg.DestroyWindow();
        CWnd::DeleteTempMap();
    }
    static void Resize(CWnd &button, int cx, int cy)
    {
        button.SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER);
        button.RedrawWindow();
    }
    static POINT Centre(CWnd &button)
    {
        RECT rc = {};
        button.GetWindowRect(&rc);
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
};

// Where the caption's glyphs are: the pixels that differ from the state's bare face.
struct TextMarks {
    PictureDiff diff;
    Picture picture;
    Picture face;
};

TextMarks Marks(CWnd &button, UINT nFace)
{
    TextMarks m;
    m.picture = CaptureSettled(button.m_hWnd);
    m.face = ExpectedFace(nFace, m.picture.cx, m.picture.cy);
    m.diff = Compare(m.picture, m.face);
    return m;
}

// The glyph pixels of b are those of a moved by (dx, dy).
bool SameMarksMoved(const TextMarks &a, const TextMarks &b, int dx, int dy)
{
    for (int y = 0; y < a.picture.cy; ++y)
        for (int x = 0; x < a.picture.cx; ++x) {
            const bool inA = a.picture.At(x, y) != a.face.At(x, y);
            const int xb = x + dx, yb = y + dy;
            if (xb >= b.picture.cx || yb >= b.picture.cy) {
                if (inA)
                    return false;
                continue;
            }
            const bool inB = b.picture.At(xb, yb) != b.face.At(xb, yb);
            if (inA != inB)
                return false;
        }
    return true;
}

TEST_F(ButtonFixture, BareFacesFollowTheThreeSliceStretch)
{
    dlg.m_bEmptySafeStart = true;
    Open();
    const struct {
        int cx, cy;
    } sizes[] = {{62, 28}, {108, 30}, {41, 30}, {108, 24}};
    for (const auto &s : sizes) {
        SCOPED_TRACE(std::to_string(s.cx) + "x" + std::to_string(s.cy));
        Resize(dlg.m_btnSafeStart, s.cx, s.cy);
        const Picture shot = CaptureSettled(dlg.m_btnSafeStart.m_hWnd);
        ASSERT_EQ(shot.cx, s.cx);
        ASSERT_EQ(shot.cy, s.cy);
        const PictureDiff d = Compare(shot, ExpectedFace(IDB_BUTTON_NORMAL, s.cx, s.cy));
        if (d.nDiffering) {
            ADD_FAILURE() << d.nDiffering << " pixels differ, the first at (" << d.rcBounds.left << ","
                          << d.rcBounds.top << "): see " << shot.Save("skin-face-" + std::to_string(s.cx) + ".ppm");
        }
    }
}

TEST_F(ButtonFixture, LooksFollowTheRealMouse)
{
    Open();
    CProbeButton &btn = dlg.m_btnDownload;
    EXPECT_EQ(btn.GetWindowTextLength(), 0);
    EXPECT_STREQ(btn.m_strText, "下载Halvex");

    // Normal: image 134 with black text in the middle.
    const TextMarks normal = Marks(btn, IDB_BUTTON_NORMAL);
    ASSERT_GT(normal.diff.nDiffering, 0) << "no caption drawn";
    EXPECT_GT(CountColor(normal.picture, BLACK), 0);
    const RECT &text = normal.diff.rcBounds;
    EXPECT_GT(text.left, 2);
    EXPECT_LT(text.right, normal.picture.cx - 2);
    EXPECT_LE(std::abs((text.left + text.right) - normal.picture.cx), 2) << "text not centred";

    // Hover, after the pointer really moved over it.
    const POINT centre = Centre(btn);
    ASSERT_TRUE(MovePointer(centre.x, centre.y));
    ASSERT_TRUE(PumpUntil([&] { return btn.m_bHover && btn.m_bTracking; }, 3000));
    const TextMarks hover = Marks(btn, IDB_BUTTON_HOVER);
    EXPECT_TRUE(SameMarksMoved(normal, hover, 0, 0)) << "hover face is not image 138 around the same text";
    EXPECT_GT(btn.m_nPreTranslatedMoves, 0);
    EXPECT_GT(dlg.m_nRelayedMoves, 0);
    // Long enough for a tooltip to show, were it active.
    PumpMessages(1200);
    EXPECT_TRUE(WindowsOfClass(TOOLTIPS_CLASSA, true).empty()) << "a tooltip is showing";
    EXPECT_TRUE(btn.m_toolTip.m_hWnd);

    // Pressed: image 140, the text one pixel right and down.
    ASSERT_TRUE(PressMouseButton(true));
    ASSERT_TRUE(PumpUntil([&] { return btn.m_bPressed != 0; }, 3000));
    const TextMarks pressed = Marks(btn, IDB_BUTTON_PRESSED);
    EXPECT_TRUE(SameMarksMoved(normal, pressed, 1, 1)) << "pressed look is not image 140 with the text moved by (1,1)";
    EXPECT_EQ(dlg.m_nDownloadClicks, 0);

    // Released over the button: one click.
    ASSERT_TRUE(PressMouseButton(false));
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nDownloadClicks == 1; }, 3000));
    EXPECT_EQ(btn.m_bPressed, 0);
    const TextMarks hoverAgain = Marks(btn, IDB_BUTTON_HOVER);
    EXPECT_TRUE(SameMarksMoved(normal, hoverAgain, 0, 0));

    // The pointer leaves: the normal look is back.
    const POINT away = FarCorner();
    ASSERT_TRUE(MovePointer(away.x, away.y));
    ASSERT_TRUE(PumpUntil([&] { return !btn.m_bHover && !btn.m_bTracking; }, 3000)) << "no leave notice";
    const TextMarks left = Marks(btn, IDB_BUTTON_NORMAL);
    EXPECT_TRUE(left.picture == normal.picture);
    EXPECT_EQ(dlg.m_nDownloadClicks, 1);
    EXPECT_TRUE(WindowsOfClass(TOOLTIPS_CLASSA, true).empty());
}

TEST_F(ButtonFixture, DisabledLookWinsOverEveryFlag)
{
    Open();
    CProbeButton &btn = dlg.m_btnSafeStart;
    btn.EnableWindow(FALSE);
    for (int flags = 0; flags < 4; ++flags) {
        SCOPED_TRACE("pressed " + std::to_string(flags & 1) + " hover " + std::to_string(flags >> 1));
        btn.m_bPressed = flags & 1;
        btn.m_bHover = flags >> 1;
        btn.RedrawWindow();
        const TextMarks disabled = Marks(btn, IDB_BUTTON_DISABLED);
        // Only the caption differs from image 139, in light grey, not moved.
        ASSERT_GT(disabled.diff.nDiffering, 0);
        EXPECT_LT(disabled.diff.nDiffering, disabled.picture.cx * disabled.picture.cy / 4);
        EXPECT_GT(CountColor(disabled.picture, LIGHT_GREY), 0);
        EXPECT_EQ(CountColor(disabled.picture, BLACK), 0);
        const RECT &text = disabled.diff.rcBounds;
        EXPECT_LE(std::abs((text.left + text.right) - disabled.picture.cx), 2) << "text moved";
    }
}

TEST_F(ButtonFixture, DoubleClickIsAPressAndARelease)
{
    Open();
    CProbeButton &btn = dlg.m_btnDownload;
    btn.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(btn.m_bPressed, 1);
    btn.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(btn.m_bPressed, 0);
    btn.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(btn.m_bPressed, 0);
    btn.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(btn.m_bPressed, 0);
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST_F(ButtonFixture, BindingMakesAnyButtonTypeOwnerDrawn)
{
    Open();
    const struct {
        const char *name;
        DWORD type;
    } cases[] = {{"push", BS_PUSHBUTTON}, {"default push", BS_DEFPUSHBUTTON}, {"check box", BS_AUTOCHECKBOX},
                 {"radio", BS_RADIOBUTTON}};
    for (const auto &c : cases) {
        HWND h = ::CreateWindowExA(0, "BUTTON", "caption", WS_CHILD | WS_VISIBLE | BS_CENTER | c.type, 0, 0, 80, 24,
                                   dlg.m_hWnd, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(h) << c.name;
        CProbeButton btn;
        ASSERT_TRUE(btn.SubclassWindow(h)) << c.name;
        const DWORD style = static_cast<DWORD>(::GetWindowLongPtrA(h, GWL_STYLE));
        EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW)) << c.name;
        EXPECT_EQ(style & BS_CENTER, static_cast<DWORD>(BS_CENTER)) << c.name;
        EXPECT_EQ(btn.GetWindowTextLength(), 0) << c.name;
        EXPECT_STREQ(btn.m_strText, "caption") << c.name;
        btn.DestroyWindow();
    }
}

// A screen reader's reference kept after the window went: a failure code, nothing touched.
TEST_F(ButtonFixture, AccessibleReferenceFailsOnceTheWindowIsGone)
{
    const IID accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    Open();
    IAccessible *pAcc = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(dlg.m_btnDownload.m_hWnd, static_cast<DWORD>(OBJID_CLIENT), accessible,
                                         reinterpret_cast<void **>(&pAcc)),
              S_OK);
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    ASSERT_EQ(pAcc->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name ? name : L""), L"下载Halvex");
    SysFreeString(name);
    name = nullptr;

    dlg.DestroyWindow();
    const HRESULT hr = pAcc->get_accName(self, &name);
    EXPECT_TRUE(hr == E_FAIL || hr == RPC_E_DISCONNECTED) << std::hex << hr;
    EXPECT_EQ(name, nullptr);
    EXPECT_TRUE(FAILED(pAcc->accDoDefaultAction(self)));
    pAcc->Release();
    CoUninitialize();
}

TEST(SkinButtonModalTest, TheModalLoopHandsMovesToTheButton)
{
    CButtonDlg dlg;
    dlg.m_bCloseAtOnce = true;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_GT(dlg.m_btnDownload.m_nPreTranslatedMoves, 0);
}

} // namespace
