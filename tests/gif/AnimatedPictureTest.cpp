// The animated picture control on real windows: loading from resources and memory, the
// spinner turning, disposal methods, stops, and the release panel that hosts the spinner.
// Pixels are read back from what the control painted.
#include "app/ReleasePanel.h"
#include "gif/CAnimatedPicture.h"
#include "gif/GifBlockWalker.h"
#include "res/resource.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/SpinnerLooks.h"
#include "tests/gif/WindowProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

const COLORREF LIGHT_BLUE = RGB(235, 248, 255);
const COLORREF RED = RGB(255, 0, 0);
const COLORREF GREEN = RGB(0, 255, 0);
const COLORREF BLUE = RGB(0, 0, 255);
// Palette of the GIFs made here: white, red, green, blue.
const std::vector<uint32_t> PALETTE = {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};

// A visible popup with one static child (sized as the release panel's template sizes it)
// that the picture takes over.
class PictureWindow {
public:
    explicit PictureWindow(CAnimatedPicture &picture)
    {
        m_hPopup = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 40, 40, 200,
                                   120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        m_hChild = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, 10, 10, 30, 33, m_hPopup,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SPINNER)),
                                   GetModuleHandleA(nullptr), nullptr);
        m_bSubclassed = m_hChild && picture.SubclassWindow(m_hChild);
        PumpMessages(50);
    }
    ~PictureWindow() { Destroy(); }
    void Destroy()
    {
        if (m_hPopup)
            DestroyWindow(m_hPopup);
        m_hPopup = nullptr;
    }
    bool Ready() const { return m_bSubclassed; }
    HWND Child() const { return m_hChild; }
    SIZE ClientSize() const
    {
        RECT rc = {};
        GetClientRect(m_hChild, &rc);
        return SIZE{rc.right, rc.bottom};
    }

private:
    HWND m_hPopup = nullptr;
    HWND m_hChild = nullptr;
    bool m_bSubclassed = false;
};

class AnimatedPictureTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_window.Ready()); }

    BOOL Open(const std::vector<uint8_t> &bytes, SIZE_T nSize = 0)
    {
        HGLOBAL h = GlobalCopy(bytes);
        const BOOL ok = m_picture.OpenData(h, nSize ? nSize : bytes.size());
        GlobalFree(h);
        return ok;
    }
    // Starts the animation; the id of the thread that it started, 0 for none.
    DWORD Start()
    {
        const std::vector<DWORD> before = ThreadIds();
        m_picture.StartAnimation();
        return NewThreadId(before);
    }

    // Each change of the painted control over ms milliseconds, with its time.
    std::vector<PictureChange> Watch(DWORD ms)
    {
        std::vector<PictureChange> changes;
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            PumpMessages(4);
            Pixels p = CaptureClient(m_window.Child());
            if (changes.empty() || p != changes.back().pixels)
                changes.push_back({GetTickCount() - start, std::move(p)});
        }
        return changes;
    }

    CAnimatedPicture m_picture;
    PictureWindow m_window{m_picture};
};

// Pixels of a solid image with rectangles painted over it.
Pixels Painted(int cx, int cy, COLORREF fill, const std::vector<std::pair<RECT, COLORREF>> &rects)
{
    Pixels p;
    p.cx = cx;
    p.cy = cy;
    p.colours.assign(static_cast<size_t>(cx) * cy, fill);
    for (const auto &r : rects)
        for (int y = r.first.top; y < r.first.bottom; ++y)
            for (int x = r.first.left; x < r.first.right; ++x)
                p.colours[static_cast<size_t>(y) * cx + x] = r.second;
    return p;
}

// A 24-bit BMP file of 3 x 2 pixels: red, green, blue over white, white, white.
std::vector<uint8_t> SmallBmp()
{
    // File and info headers, then the rows bottom-up, each padded to 12 bytes, pixels as
    // blue, green, red.
    return {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
            40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,
            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
            255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0,
            0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0};
}

// ---------------------------------------------------------------------------------------
// Loading

TEST_F(AnimatedPictureTest, BeforeALoadNothingDraws)
{
    EXPECT_FALSE(m_picture.SetBackground(RED));
    const Pixels before = CaptureClient(m_window.Child());
    const size_t threads = ThreadIds().size();
    EXPECT_EQ(Start(), 0u);
    PumpMessages(200);
    EXPECT_EQ(ThreadIds().size(), threads);
    EXPECT_EQ(CaptureClient(m_window.Child()), before);
    // The window keeps the size the template gave it.
    EXPECT_EQ(m_window.ClientSize().cx, 30);
    EXPECT_EQ(m_window.ClientSize().cy, 33);
}

TEST_F(AnimatedPictureTest, OpensEachKindOfData)
{
    const std::vector<uint8_t> twoFrames =
        GifBuilder(6, 5, PALETTE).Control(1, 10).Fill(0, 0, 6, 5, 1).Control(1, 10).Fill(1, 1, 2, 2, 2).Trailer().Bytes();
    struct Case {
        const char *name;
        std::vector<uint8_t> bytes;
        SIZE_T size;   // 0: the bytes' own
        BOOL opened;
        BOOL gif;
        size_t frames;
        SIZE size_px;
    } cases[] = {
        {"bitmap: a still at its own size", SmallBmp(), 0, TRUE, FALSE, 0, {3, 2}},
        {"one-frame GIF: a still at the logical screen size",
         GifBuilder(5, 4, PALETTE).Control(0, 10).Fill(1, 1, 2, 2, 1).Trailer().Bytes(), 0, TRUE, TRUE, 0, {5, 4}},
        {"two frames", twoFrames, 0, TRUE, TRUE, 2, {6, 5}},
        {"a size past the block is cut to the block", twoFrames, twoFrames.size() * 1000, TRUE, TRUE, 2, {6, 5}},
        {"GIF without a frame", GifBuilder(5, 4, PALETTE).Loop().Trailer().Bytes(), 0, FALSE, FALSE, 0, {0, 0}},
        {"bytes no loader knows", std::vector<uint8_t>(64, 0x5A), 0, FALSE, FALSE, 0, {0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Open(c.bytes, c.size), c.opened);
        EXPECT_EQ(m_picture.IsGif(), c.gif);
        EXPECT_EQ(m_picture.GetFrameCount(), c.frames);
        EXPECT_EQ(m_picture.GetPictureSize().cx, c.size_px.cx);
        EXPECT_EQ(m_picture.GetPictureSize().cy, c.size_px.cy);
        // A loaded picture sizes the window; an empty control has no canvas.
        EXPECT_EQ(m_picture.SetBackground(LIGHT_BLUE), c.opened);
        if (c.opened) {
            EXPECT_EQ(m_window.ClientSize().cx, c.size_px.cx);
            EXPECT_EQ(m_window.ClientSize().cy, c.size_px.cy);
        }
    }
}

TEST_F(AnimatedPictureTest, StillPictureIsRenderedOnceWithoutAThread)
{
    ASSERT_TRUE(Open(SmallBmp()));
    ASSERT_TRUE(m_picture.SetBackground(LIGHT_BLUE));
    EXPECT_EQ(Start(), 0u);
    PumpMessages(100);
    EXPECT_EQ(CaptureClient(m_window.Child()),
              Painted(3, 2, RGB(255, 255, 255), {{{0, 0, 1, 1}, RED}, {{1, 0, 2, 1}, GREEN}, {{2, 0, 3, 1}, BLUE}}));
}

TEST_F(AnimatedPictureTest, SetBackgroundClearsTheWholeCanvas)
{
    ASSERT_TRUE(Open(SmallBmp()));
    m_picture.StartAnimation();
    PumpMessages(50);
    ASSERT_TRUE(m_picture.SetBackground(RGB(10, 20, 30)));
    PumpMessages(50);
    EXPECT_EQ(CaptureClient(m_window.Child()), Painted(3, 2, RGB(10, 20, 30), {}));
}

// ---------------------------------------------------------------------------------------
// Animation

TEST_F(AnimatedPictureTest, SpinnerTurnsAndComesBackAfterEightFrames)
{
    ASSERT_TRUE(m_picture.OpenResource(MAKEINTRESOURCEA(IDR_SCAN), "SCAN"));
    EXPECT_EQ(m_picture.GetFrameCount(), 8u);
    EXPECT_EQ(m_window.ClientSize().cx, 17);
    EXPECT_EQ(m_window.ClientSize().cy, 17);
    ASSERT_TRUE(m_picture.SetBackground(LIGHT_BLUE));
    ASSERT_NE(Start(), 0u);

    std::vector<PictureChange> changes = Watch(2600);
    // Until the first frame is drawn the canvas is plain.
    while (!changes.empty() && changes.front().pixels.DistinctColours() == 1)
        changes.erase(changes.begin());
    ASSERT_GE(changes.size(), 12u) << "successive captures should differ";

    // Seven looks per turn (the second frame adds one transparent pixel and holds the first
    // look one more tick), each a spinner on light blue, never a flat square.
    for (const PictureChange &c : changes) {
        EXPECT_GE(c.pixels.DistinctColours(), 3u) << "at " << c.ms << " ms";
        EXPECT_EQ(c.pixels.At(0, 0), LIGHT_BLUE);
        EXPECT_EQ(c.pixels.At(16, 16), LIGHT_BLUE);
    }
    const SpinnerLooks spinner(changes);
    EXPECT_EQ(spinner.looks.size(), 7u);
    // Each look comes back one turn later: eight frames of 100 ms.
    ASSERT_GE(spinner.turns.size(), 7u);
    const DWORD median = spinner.MedianTurn();
    EXPECT_GE(median, 640u);
    EXPECT_LE(median, 1100u);
}

// What is left of a frame when the next one is drawn, by its disposal method.
TEST_F(AnimatedPictureTest, DisposalMethodsOfAFrame)
{
    const COLORREF background = RGB(32, 64, 96);
    struct Case {
        unsigned disposal;
        COLORREF left;   // what the square of the disposed frame shows
    } cases[] = {
        {1, GREEN},
        {2, background},   // restored to the background colour
        {3, RED},          // restored to what was under it
    };
    const Pixels square = Painted(12, 12, RED, {{{3, 3, 9, 9}, GREEN}});
    for (const Case &c : cases) {
        SCOPED_TRACE("disposal " + std::to_string(c.disposal));
        // A red screen, a green square, then one blue pixel in the corner.
        ASSERT_TRUE(Open(GifBuilder(12, 12, PALETTE)
                             .Control(1, 25)
                             .Fill(0, 0, 12, 12, 1)
                             .Control(c.disposal, 25)
                             .Fill(3, 3, 6, 6, 2)
                             .Control(1, 25)
                             .Fill(0, 0, 1, 1, 3)
                             .Trailer()
                             .Bytes()));
        ASSERT_TRUE(m_picture.SetBackground(background));
        m_picture.StartAnimation();
        const std::vector<PictureChange> changes = Watch(1300);
        m_picture.StopAnimation();
        const Pixels next = Painted(12, 12, RED, {{{3, 3, 9, 9}, c.left}, {{0, 0, 1, 1}, BLUE}});
        int seen = 0;
        for (size_t i = 0; i + 1 < changes.size(); ++i) {
            if (changes[i].pixels == square) {
                EXPECT_EQ(changes[i + 1].pixels, next) << "after the square at " << changes[i].ms << " ms";
                ++seen;
            }
        }
        EXPECT_GE(seen, 1);
    }
}

TEST_F(AnimatedPictureTest, AStopLeavesAWholeFrameAndARestartGoesOnFromIt)
{
    // Three squares, each disposed to the background before the next: a whole frame shows
    // exactly one of them. The background alone, or two squares, is a frame cut in half.
    const COLORREF background = RGB(32, 64, 96);
    ASSERT_TRUE(Open(GifBuilder(12, 12, PALETTE)
                         .Control(2, 5)
                         .Fill(0, 0, 6, 6, 1)
                         .Control(2, 5)
                         .Fill(6, 0, 6, 6, 2)
                         .Control(2, 5)
                         .Fill(0, 6, 12, 6, 3)
                         .Trailer()
                         .Bytes()));
    ASSERT_TRUE(m_picture.SetBackground(background));
    const std::vector<Pixels> frames = {
        Painted(12, 12, background, {{{0, 0, 6, 6}, RED}}),
        Painted(12, 12, background, {{{6, 0, 12, 6}, GREEN}}),
        Painted(12, 12, background, {{{0, 6, 12, 12}, BLUE}}),
    };
    // Stops at once (before the thread's first drawing), within a frame and across frames.
    for (int i = 0; i < 40; ++i) {
        SCOPED_TRACE("round " + std::to_string(i));
        if (i % 4 == 0) {
            m_picture.StartAnimation();
            m_picture.StopAnimation();
        } else {
            const DWORD tid = Start();
            ASSERT_NE(tid, 0u);
            Sleep(static_cast<DWORD>((i * 13) % 120));
            m_picture.StopAnimation();
            ASSERT_TRUE(ThreadEnded(tid, 1000));
        }
        InvalidateRect(m_window.Child(), nullptr, FALSE);
        UpdateWindow(m_window.Child());
        const Pixels shown = CaptureClient(m_window.Child());
        EXPECT_NE(std::find(frames.begin(), frames.end(), shown), frames.end()) << shown.DistinctColours()
                                                                                 << " colours";
    }
}

TEST_F(AnimatedPictureTest, OneThreadAtATimeAndALoadStopsIt)
{
    ASSERT_TRUE(m_picture.OpenResource(MAKEINTRESOURCEA(IDR_SCAN), "SCAN"));
    const DWORD tid = Start();
    ASSERT_NE(tid, 0u);
    EXPECT_EQ(Start(), 0u);
    PumpMessages(150);
    EXPECT_FALSE(ThreadEnded(tid));
    ASSERT_TRUE(Open(GifBuilder(4, 4, PALETTE).Fill(0, 0, 4, 4, 1).Fill(0, 0, 2, 2, 2).Trailer().Bytes()));
    EXPECT_TRUE(ThreadEnded(tid));
    // Stopped and started again, it goes on.
    const DWORD again = Start();
    ASSERT_NE(again, 0u);
    m_picture.StopAnimation();
    EXPECT_TRUE(ThreadEnded(again));
    EXPECT_NE(Start(), 0u);
    m_picture.Close();
    EXPECT_FALSE(m_picture.SetBackground(RED));
}

TEST(AnimatedPictureStop, DestroyingTheWindowStopsTheThreadWithinAFrame)
{
    struct Case {
        const char *name;
        std::function<BOOL(CAnimatedPicture &)> open;
    } cases[] = {
        {"spinner", [](CAnimatedPicture &p) { return p.OpenResource(MAKEINTRESOURCEA(IDR_SCAN), "SCAN"); }},
        // Frames of five seconds: the stop must not wait a frame out.
        {"frames of 5 s", [](CAnimatedPicture &p) {
             HGLOBAL h = GlobalCopy(GifBuilder(4, 4, PALETTE).Control(1, 500).Fill(0, 0, 4, 4, 1).Control(1, 500)
                                        .Fill(0, 0, 4, 4, 2).Trailer().Bytes());
             const BOOL ok = p.OpenData(h, GlobalSize(h));
             GlobalFree(h);
             return ok;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CAnimatedPicture picture;
        PictureWindow window(picture);
        ASSERT_TRUE(window.Ready());
        ASSERT_TRUE(c.open(picture));
        const std::vector<DWORD> before = ThreadIds();
        picture.StartAnimation();
        const DWORD tid = NewThreadId(before);
        ASSERT_NE(tid, 0u);
        PumpMessages(250);
        ASSERT_FALSE(ThreadEnded(tid));
        const DWORD start = GetTickCount();
        window.Destroy();
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_TRUE(ThreadEnded(tid));
        EXPECT_LT(elapsed, 1000u);
    }
}

// ---------------------------------------------------------------------------------------
// The release panel's spinner

TEST(ReleasePanelSpinner, TurnsFromTheStartShownOrHiddenAndStopsWithThePanel)
{
    HWND hParent = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 40, 200,
                                   600, 80, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(hParent);
    CWnd parent;
    ASSERT_TRUE(parent.Attach(hParent));

    const std::vector<DWORD> before = ThreadIds();
    CReleasePanel *pPanel = new CReleasePanel;
    ASSERT_TRUE(pPanel->Create(IDD_RELEASE_PANEL, &parent));
    // Created hidden, the spinner already turns.
    EXPECT_FALSE(IsWindowVisible(pPanel->GetSafeHwnd()));
    const DWORD tid = NewThreadId(before);
    ASSERT_NE(tid, 0u);
    HWND hSpinner = GetDlgItem(pPanel->GetSafeHwnd(), IDC_SPINNER);
    RECT rc = {};
    GetClientRect(hSpinner, &rc);
    EXPECT_EQ(rc.right, 17);
    EXPECT_EQ(rc.bottom, 17);

    // Hidden, it sleeps between frames: a thread that polled would use most of a second.
    const double cpuBefore = ThreadCpuSeconds(tid);
    PumpMessages(1000);
    const double cpuAfter = ThreadCpuSeconds(tid);
    ASSERT_GE(cpuBefore, 0.0);
    EXPECT_LT(cpuAfter - cpuBefore, 0.2);

    pPanel->ShowWindow(SW_SHOW);
    std::vector<Pixels> seen;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 1000) {
        PumpMessages(10);
        Pixels p = CaptureClient(hSpinner);
        if (seen.empty() || p != seen.back())
            seen.push_back(std::move(p));
    }
    ASSERT_GE(seen.size(), 6u) << "the spinner should turn";
    for (const Pixels &p : seen) {
        EXPECT_GE(p.DistinctColours(), 3u) << "a flat square";
        EXPECT_EQ(p.At(0, 0), LIGHT_BLUE);
    }

    pPanel->ShowWindow(SW_HIDE);
    PumpMessages(300);
    EXPECT_FALSE(ThreadEnded(tid)) << "the spinner keeps turning while the panel is hidden";

    pPanel->DestroyWindow();
    EXPECT_TRUE(ThreadEnded(tid));
    delete pPanel;
    parent.Detach();
    DestroyWindow(hParent);
}

// ---------------------------------------------------------------------------------------
// GIFs that other encoders wrote (tests/gif/make-peer-corpus.sh)

std::string CorpusDir()
{
    std::string path = std::string("Z:") + HALVEX_PEER_CORPUS;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

TEST(PeerGifs, EveryCutFrameDecodesWithThePlatformLoader)
{
    std::vector<std::string> gifs;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((CorpusDir() + "\\*.gif").c_str(), &fd);
    ASSERT_NE(hFind, INVALID_HANDLE_VALUE) << CorpusDir();
    do
        gifs.push_back(CorpusDir() + "\\" + fd.cFileName);
    while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    ASSERT_GE(gifs.size(), 10u);

    HDC hScreen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(hScreen, LOGPIXELSX), dpiY = GetDeviceCaps(hScreen, LOGPIXELSY);
    ReleaseDC(nullptr, hScreen);
    for (const std::string &path : gifs) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        ASSERT_FALSE(bytes.empty());
        GifBlockWalker walker;
        walker.Attach(bytes.data(), bytes.size());
        size_t count = 0;
        walker.Plan(&count);
        GifFrameCut cut;
        size_t index = 0;
        while (walker.ExtractFrame(&cut)) {
            SCOPED_TRACE("frame " + std::to_string(index++));
            std::vector<uint8_t> file(walker.FrameFileSize(cut));
            ASSERT_TRUE(walker.WriteFrameFile(cut, file.data()));
            HGLOBAL h = GlobalCopy(file);
            IStream *pStream = nullptr;
            ASSERT_EQ(CreateStreamOnHGlobal(h, TRUE, &pStream), S_OK);
            IPicture *pPicture = nullptr;
            const HRESULT hr = OleLoadPicture(pStream, static_cast<LONG>(file.size()), FALSE, IID_IPicture,
                                              reinterpret_cast<void **>(&pPicture));
            pStream->Release();
            ASSERT_EQ(hr, S_OK);
            ASSERT_TRUE(pPicture);
            // The decoded picture is the frame itself, placed by the control.
            OLE_XSIZE_HIMETRIC hmWidth = 0;
            OLE_YSIZE_HIMETRIC hmHeight = 0;
            pPicture->get_Width(&hmWidth);
            pPicture->get_Height(&hmHeight);
            EXPECT_EQ(static_cast<UINT>(MulDiv(hmWidth, dpiX, 2540)), cut.nWidth);
            EXPECT_EQ(static_cast<UINT>(MulDiv(hmHeight, dpiY, 2540)), cut.nHeight);
            pPicture->Release();
        }
        EXPECT_EQ(index, count);

        // The control keeps every frame of an animation.
        CAnimatedPicture picture;
        HGLOBAL h = GlobalCopy(bytes);
        EXPECT_TRUE(picture.OpenData(h, bytes.size()));
        GlobalFree(h);
        EXPECT_EQ(picture.GetFrameCount(), count > 1 ? count : 0);
    }
}

} // namespace
