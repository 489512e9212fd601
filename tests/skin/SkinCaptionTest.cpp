// The caption painter on real windows: it changes no message's result, takes a window once,
// gives the procedure back, never lets a message reach a painter that let go, and draws its
// title after the small icon in the user's caption font (or the GUI font when that is not
// a proper font record). The session's Wine draws window frames itself, so what is painted
// with the window's DC shows on the screen.
#include "skin/CSkinCaption.h"

#include "tests/skin/SkinTestSupport.h"
#include "tests/support/RegistryValueBackup.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A painter whose inner steps and fields the test can reach.
class CProbeCaption : public CSkinCaption {
public:
    using CSkinCaption::GetCaptionRect;
    using CSkinCaption::m_hWnd;
    using CSkinCaption::m_pfnOldWndProc;
    using CSkinCaption::ReadCaptionFont;
};

// The window's own procedure: distinct answers, a count of what it saw, and whether its
// procedure was its own again when the window ended.
int g_nOriginalCalls = 0;
UINT g_nCountedMessage = 0;   // calls with this message and parameter are counted
LPARAM g_nCountedLParam = 0;
bool g_bOwnProcAtNcDestroy = false;

LRESULT Answer(UINT message, WPARAM wParam)
{
    return static_cast<LRESULT>(0x5A000000 + message * 16 + (wParam & 15));
}

const UINT ANSWERED[] = {WM_ACTIVATE, WM_PAINT, WM_NOTIFY, WM_NCPAINT, WM_NCACTIVATE, WM_USER + 5, WM_APP + 9,
                         WM_SETTEXT, WM_NCHITTEST};

bool Answered(UINT message)
{
    for (UINT m : ANSWERED)
        if (m == message)
            return true;
    return false;
}

LRESULT CALLBACK OriginalProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == g_nCountedMessage && lParam == g_nCountedLParam)
        ++g_nOriginalCalls;
    if (message == WM_NCDESTROY)
        g_bOwnProcAtNcDestroy = ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&OriginalProc);
    const LRESULT def = ::DefWindowProcW(hWnd, message, wParam, lParam);
    return Answered(message) && wParam != 0xDEF ? Answer(message, wParam) : def;
}

// A Unicode window, as the tool's dialogs are: the procedures in its chain are compared by
// their addresses, which an ANSI window would hand out as thunks.
const wchar_t *OriginalClass()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = OriginalProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"HalvexCaptionTest";
        ::RegisterClassW(&wc);
        registered = true;
    }
    return L"HalvexCaptionTest";
}

// The main dialog's frame: caption, system menu, dialog border.
HWND CreateFramed(int x = 40, int y = 40, int cx = 400, int cy = 120)
{
    HWND h = ::CreateWindowExW(WS_EX_DLGMODALFRAME, OriginalClass(), L"", WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y,
                               cx, cy, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    return h;
}

// A procedure put in front of the painter's by someone else.
WNDPROC g_pfnBehindFront = nullptr;
int g_nFrontCalls = 0;
LRESULT CALLBACK FrontProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ++g_nFrontCalls;
    return ::CallWindowProcW(g_pfnBehindFront, hWnd, message, wParam, lParam);
}

LONG_PTR ProcOf(HWND h)
{
    return ::GetWindowLongPtrW(h, GWLP_WNDPROC);
}

const LONG_PTR SKIN_PROC = reinterpret_cast<LONG_PTR>(&CSkinCaption::SkinWndProc);
const LONG_PTR ORIGINAL_PROC = reinterpret_cast<LONG_PTR>(&OriginalProc);

struct CaptionFixture : ::testing::Test {
    HWND hWnd = nullptr;
    void SetUp() override
    {
        g_nOriginalCalls = 0;
        g_bOwnProcAtNcDestroy = false;
        hWnd = CreateFramed();
        ASSERT_TRUE(hWnd);
    }
    void TearDown() override
    {
        if (::IsWindow(hWnd))
            ::DestroyWindow(hWnd);
        EXPECT_TRUE(g_mapSkinnedWindows.IsEmpty());
    }
    // Each message reaches the original procedure once and its answer comes back unchanged.
    void ExpectAnswersPassThrough(const char *when)
    {
        static const char TEXT[] = "x";
        for (UINT message : ANSWERED) {
            // A parameter no message the system sends on the side carries.
            g_nCountedMessage = message;
            g_nCountedLParam = message == WM_SETTEXT ? reinterpret_cast<LPARAM>(TEXT) : 0x7A11;
            for (WPARAM wParam : {WPARAM(0), WPARAM(1)}) {
                const int before = g_nOriginalCalls;
                const LRESULT expected = Answer(message, wParam);
                EXPECT_EQ(::SendMessageW(hWnd, message, wParam, g_nCountedLParam), expected)
                    << when << " message " << message;
                EXPECT_EQ(g_nOriginalCalls - before, 1) << when << " message " << message;
            }
        }
        // A real answer, computed by the system: the same with and without the painter.
        POINT pt = {};
        RECT rc = {};
        ::GetWindowRect(hWnd, &rc);
        pt.x = rc.left + 50;
        pt.y = rc.top + 8;
        EXPECT_EQ(::SendMessageW(hWnd, WM_NCHITTEST, 0xDEF, MAKELPARAM(pt.x, pt.y)), HTCAPTION) << when;
    }
};

TEST_F(CaptionFixture, EveryResultIsThePreviousProceduresAndASecondSubclassChangesNothing)
{
    ExpectAnswersPassThrough("without the painter");

    CProbeCaption painter;
    painter.SetCaption("Title");
    painter.Subclass(hWnd);
    ASSERT_EQ(painter.m_hWnd, hWnd);
    EXPECT_EQ(ProcOf(hWnd), SKIN_PROC);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(painter.m_pfnOldWndProc), ORIGINAL_PROC);
    ExpectAnswersPassThrough("with the painter");

    // Again by the same painter, by another one: nothing changes, and each message still
    // passes the painter once (twice in the chain would loop).
    painter.Subclass(hWnd);
    CProbeCaption other;
    other.Subclass(hWnd);
    EXPECT_EQ(other.m_hWnd, nullptr);
    EXPECT_EQ(ProcOf(hWnd), SKIN_PROC);
    EXPECT_EQ(g_mapSkinnedWindows.GetCount(), 1);
    ExpectAnswersPassThrough("after a second subclass");
    other.Unsubclass();
    EXPECT_EQ(ProcOf(hWnd), SKIN_PROC);

    // A painter serves one window at a time.
    HWND second = CreateFramed(60, 200);
    painter.Subclass(second);
    EXPECT_EQ(painter.m_hWnd, hWnd);
    EXPECT_EQ(ProcOf(second), ORIGINAL_PROC);
    ::DestroyWindow(second);

    painter.Unsubclass();
    EXPECT_EQ(painter.m_hWnd, nullptr);
    EXPECT_EQ(ProcOf(hWnd), ORIGINAL_PROC);
    EXPECT_TRUE(g_mapSkinnedWindows.IsEmpty());
    ExpectAnswersPassThrough("after letting go");
}

TEST_F(CaptionFixture, TheProcedureIsGivenBackBeforeTheWindowEnds)
{
    struct Case {
        const char *name;
        bool bDeletePainterFirst;
    } cases[] = {{"painter still there", false}, {"painter gone first", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!::IsWindow(hWnd))
            hWnd = CreateFramed();
        g_bOwnProcAtNcDestroy = false;
        auto painter = std::make_unique<CProbeCaption>();
        painter->Subclass(hWnd);
        ASSERT_EQ(ProcOf(hWnd), SKIN_PROC);
        if (c.bDeletePainterFirst) {
            // The destructor lets go while the window lives.
            painter.reset();
            EXPECT_EQ(ProcOf(hWnd), ORIGINAL_PROC);
            EXPECT_TRUE(g_mapSkinnedWindows.IsEmpty());
            ExpectAnswersPassThrough("after the painter went");
        }
        ::DestroyWindow(hWnd);
        EXPECT_TRUE(g_bOwnProcAtNcDestroy) << "the window ended with the painter's procedure";
        EXPECT_TRUE(g_mapSkinnedWindows.IsEmpty());
        if (painter) {
            EXPECT_EQ(painter->m_hWnd, nullptr);
        }
    }
}

TEST_F(CaptionFixture, AProcedureInFrontKeepsTheChainAfterThePainterLetsGo)
{
    auto painter = std::make_unique<CProbeCaption>();
    painter->Subclass(hWnd);
    // Someone puts a procedure in front of the painter's.
    g_nFrontCalls = 0;
    g_pfnBehindFront =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrontProc)));
    ASSERT_EQ(reinterpret_cast<LONG_PTR>(g_pfnBehindFront), SKIN_PROC);

    // The painter lets go and is gone; the front procedure still calls the painter's.
    painter.reset();
    EXPECT_EQ(ProcOf(hWnd), reinterpret_cast<LONG_PTR>(&FrontProc)) << "the front procedure was cut out";
    EXPECT_TRUE(g_mapSkinnedWindows.IsEmpty());
    ExpectAnswersPassThrough("through the front procedure");
    EXPECT_GT(g_nFrontCalls, 0);

    // While the window still routes through it, no painter may take it again.
    CProbeCaption again;
    again.Subclass(hWnd);
    EXPECT_EQ(again.m_hWnd, nullptr);

    ::DestroyWindow(hWnd);
    // A new window (maybe with the same handle value) is served normally.
    hWnd = CreateFramed();
    again.Subclass(hWnd);
    EXPECT_EQ(again.m_hWnd, hWnd);
    again.Unsubclass();
}

// ---------------------------------------------------------------------------------------
// What the painter draws

struct DrawFixture : CaptionFixture {
    void SetUp() override
    {
        CaptionFixture::SetUp();
        ::ShowWindow(hWnd, SW_SHOW);
        ::SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        PumpMessages(100);
    }
    // The caption band as the screen shows it, after the frame was drawn again unless
    // bRedraw is false.
    Picture Band(bool bRedraw = true)
    {
        if (bRedraw)
            ::RedrawWindow(hWnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
        Picture whole = CaptureSettled(hWnd, false);
        Picture band;
        band.cx = whole.cx;
        band.cy = ::GetSystemMetrics(SM_CYDLGFRAME) + ::GetSystemMetrics(SM_CYCAPTION);
        if (whole.cy < band.cy)
            return whole;
        band.pixels.assign(whole.pixels.begin(), whole.pixels.begin() + static_cast<size_t>(band.cx) * band.cy);
        return band;
    }
};

TEST_F(DrawFixture, TitleStartsAfterTheSmallIcon)
{
    HICON hIcon = static_cast<HICON>(::LoadImageA(nullptr, MAKEINTRESOURCEA(32512) /*IDI_APPLICATION*/,
                                                  IMAGE_ICON, 16, 16, LR_SHARED));
    ASSERT_TRUE(hIcon);
    CProbeCaption painter;
    painter.Subclass(hWnd);
    int firstColumn[2] = {-1, -1};
    for (int withIcon = 0; withIcon < 2; ++withIcon) {
        SCOPED_TRACE(withIcon ? "with small icon" : "without icon");
        ::SendMessageW(hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(withIcon ? hIcon : nullptr));
        painter.SetCaption("");
        const Picture bare = Band();
        // Setting the text paints nothing by itself.
        painter.SetCaption("WWWW Title");
        PictureDiff d = Compare(bare, Band(false));
        EXPECT_EQ(d.nDiffering, 0) << "SetCaption repainted";

        const Picture titled = Band();
        d = Compare(bare, titled);
        ASSERT_GT(d.nDiffering, 0) << "no title drawn";
        RECT rc = {};
        painter.GetCaptionRect(&rc);
        const int expectedLeft = ::GetSystemMetrics(SM_CXFRAME) + 1 +
                                 (withIcon ? ::GetSystemMetrics(SM_CXSMICON) + 5 : 0);
        EXPECT_EQ(rc.left, expectedLeft);
        // The first glyph starts at the band's left edge (give or take its bearing) and
        // the whole title lies in the band.
        EXPECT_GE(d.rcBounds.left, rc.left);
        EXPECT_LE(d.rcBounds.left, rc.left + 3);
        EXPECT_LE(d.rcBounds.right, rc.right);
        EXPECT_GE(d.rcBounds.top, rc.top);
        EXPECT_LE(d.rcBounds.bottom, rc.bottom);
        EXPECT_GT(CountColor(titled, ::GetSysColor(COLOR_CAPTIONTEXT)), CountColor(bare, ::GetSysColor(COLOR_CAPTIONTEXT)));
        firstColumn[withIcon] = d.rcBounds.left;
    }
    EXPECT_EQ(firstColumn[1] - firstColumn[0], ::GetSystemMetrics(SM_CXSMICON) + 5);
}

TEST_F(DrawFixture, CaptionFontOfTheWrongSizeFallsBackToTheGuiFont)
{
    const char METRICS[] = "Control Panel\\Desktop\\WindowMetrics";
    CRegistryValueBackup backup(HKEY_CURRENT_USER, METRICS, "CaptionFont");
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, METRICS, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    auto store = [&](const void *data, DWORD cb) {
        if (data)
            ASSERT_EQ(::RegSetValueExA(hKey, "CaptionFont", 0, REG_BINARY, static_cast<const BYTE *>(data), cb),
                      ERROR_SUCCESS);
        else
            ::RegDeleteValueA(hKey, "CaptionFont");
    };

    // A font unlike the GUI font: large and bold.
    struct {
        LOGFONTW lf;
        BYTE extra[8];
    } big = {};
    big.lf.lfHeight = -17;
    big.lf.lfWeight = FW_BOLD;
    big.lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(big.lf.lfFaceName, L"Tahoma");

    CProbeCaption painter;
    painter.SetCaption("WWWW Title");
    painter.Subclass(hWnd);

    store(nullptr, 0);
    LOGFONTW lf = {};
    EXPECT_FALSE(painter.ReadCaptionFont(&lf));
    const Picture guiFont = Band();

    struct Case {
        const char *name;
        DWORD cb;
        bool bRead;
    } cases[] = {{"91 bytes", 91, false}, {"93 bytes", 93, false}, {"92 bytes", 92, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        store(&big, c.cb);
        LOGFONTW read = {};
        EXPECT_EQ(painter.ReadCaptionFont(&read) != FALSE, c.bRead);
        if (c.bRead) {
            EXPECT_EQ(read.lfHeight, -17);
            EXPECT_EQ(lstrcmpW(read.lfFaceName, L"Tahoma"), 0);
        }
        const Picture shot = Band();
        EXPECT_EQ(shot == guiFont, !c.bRead) << (c.bRead ? "the stored font was not used"
                                                         : "not drawn in the GUI font");
    }
    ::RegCloseKey(hKey);
}

} // namespace
