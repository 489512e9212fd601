// The animation thread held inside a frame's drawing (Wine cannot make a real drawing hang, so
// the decoded pictures are wrapped in one whose drawing blocks until the test lets it go): a
// paint skipped meanwhile, and a stop that gives up because the thread hangs for longer than
// the stop waits. In the second, the control and its window go away while the thread still
// draws; the thread must find everything it uses still there, and free it when it ends. Runs
// with Wine's heap checking, which catches a use after free.
#include "gif/CAnimatedPicture.h"
#include "res/resource.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/WindowProbe.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

std::atomic<int> g_nPicturesFreed(0);
HANDLE g_hDrawing = nullptr;   // set when a drawing has begun
HANDLE g_hGate = nullptr;      // drawings wait for it
HANDLE g_hDrawn = nullptr;     // set when a drawing let through has ended (when not null)
HRESULT g_hrDrawn = S_OK;      // what a drawing reports once it has drawn

// A decoded picture whose drawing waits at the gate.
class CGatedPicture : public IPicture {
public:
    explicit CGatedPicture(IPicture *pInner) : m_nRefs(1), m_pInner(pInner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IPicture) {
            *ppv = static_cast<IPicture *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG n = --m_nRefs;
        if (n == 0) {
            m_pInner->Release();
            ++g_nPicturesFreed;
            delete this;
        }
        return n;
    }
    HRESULT STDMETHODCALLTYPE Render(HDC hDC, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc,
                                     OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                                     LPCRECT pRcWBounds) override
    {
        SetEvent(g_hDrawing);
        WaitForSingleObject(g_hGate, INFINITE);
        const HRESULT hr = m_pInner->Render(hDC, x, y, cx, cy, xSrc, ySrc, cxSrc, cySrc, pRcWBounds);
        if (g_hDrawn)
            SetEvent(g_hDrawn);
        return FAILED(hr) ? hr : g_hrDrawn;
    }
    HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE *p) override { return m_pInner->get_Handle(p); }
    HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE *p) override { return m_pInner->get_hPal(p); }
    HRESULT STDMETHODCALLTYPE get_Type(SHORT *p) override { return m_pInner->get_Type(p); }
    HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC *p) override { return m_pInner->get_Width(p); }
    HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC *p) override { return m_pInner->get_Height(p); }
    HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE h) override { return m_pInner->set_hPal(h); }
    HRESULT STDMETHODCALLTYPE get_CurDC(HDC *p) override { return m_pInner->get_CurDC(p); }
    HRESULT STDMETHODCALLTYPE SelectPicture(HDC hIn, HDC *pOut, OLE_HANDLE *pBmp) override
    {
        return m_pInner->SelectPicture(hIn, pOut, pBmp);
    }
    HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(WINBOOL *p) override { return m_pInner->get_KeepOriginalFormat(p); }
    HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(WINBOOL b) override { return m_pInner->put_KeepOriginalFormat(b); }
    HRESULT STDMETHODCALLTYPE PictureChanged() override { return m_pInner->PictureChanged(); }
    HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM s, WINBOOL b, LONG *p) override { return m_pInner->SaveAsFile(s, b, p); }
    HRESULT STDMETHODCALLTYPE get_Attributes(DWORD *p) override { return m_pInner->get_Attributes(p); }

private:
    virtual ~CGatedPicture() = default;
    std::atomic<ULONG> m_nRefs;
    IPicture *m_pInner;
};

class CGatedAnimatedPicture : public CAnimatedPicture {
protected:
    HRESULT LoadPicture(IStream *pStream, LONG nSize, IPicture **ppPicture) override
    {
        IPicture *pInner = nullptr;
        const HRESULT hr = CAnimatedPicture::LoadPicture(pStream, nSize, &pInner);
        if (FAILED(hr))
            return hr;
        *ppPicture = new CGatedPicture(pInner);
        return S_OK;
    }
};

TEST(AnimationStopSeam, AStopThatGivesUpLeavesEverythingToTheThread)
{
    g_nPicturesFreed = 0;
    g_hDrawing = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_hGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND hPopup = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE, 40, 40, 100, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND hChild = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, 10, 10, 30, 30, hPopup, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    CGatedAnimatedPicture *pPicture = new CGatedAnimatedPicture;
    ASSERT_TRUE(pPicture->SubclassWindow(hChild));

    const std::vector<uint8_t> gif = GifBuilder(8, 8, {0xFFFFFF, 0xFF0000, 0x00FF00})
                                         .Control(3, 5)
                                         .Fill(0, 0, 8, 8, 1)
                                         .Control(2, 5)
                                         .Fill(2, 2, 4, 4, 2)
                                         .Trailer()
                                         .Bytes();
    HGLOBAL h = GlobalCopy(gif);
    ASSERT_TRUE(pPicture->OpenData(h, gif.size()));
    GlobalFree(h);
    ASSERT_EQ(pPicture->GetFrameCount(), 2u);
    ASSERT_TRUE(pPicture->SetBackground(RGB(1, 2, 3)));

    const std::vector<DWORD> before = ThreadIds();
    pPicture->StartAnimation();
    const DWORD tid = NewThreadId(before);
    ASSERT_NE(tid, 0u);
    ASSERT_EQ(WaitForSingleObject(g_hDrawing, 5000), WAIT_OBJECT_0) << "the first frame is being drawn";

    // While the thread is stuck drawing, the window still paints without waiting for it.
    DWORD start = GetTickCount();
    InvalidateRect(hChild, nullptr, FALSE);
    UpdateWindow(hChild);
    EXPECT_LT(GetTickCount() - start, 1000u);

    // The stop waits its five seconds, then leaves the thread be.
    start = GetTickCount();
    DestroyWindow(hPopup);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, CAnimatedPicture::STOP_WAIT_MS - 100);
    EXPECT_LT(elapsed, CAnimatedPicture::STOP_WAIT_MS + 3000);
    EXPECT_FALSE(ThreadEnded(tid));

    // The control goes, as its panel would delete it; the thread's frames stay.
    delete pPicture;
    EXPECT_EQ(g_nPicturesFreed, 0);

    // Let go, the thread finishes its drawing, sees the stop and frees what it held.
    SetEvent(g_hGate);
    EXPECT_TRUE(ThreadEnded(tid, 5000));
    EXPECT_EQ(g_nPicturesFreed, 2);
    CloseHandle(g_hDrawing);
    CloseHandle(g_hGate);
}

// A paint that finds the canvas taken, and the drawing thread letting go of it right then:
// the hook runs after the failed try, lets the drawing end and waits until the thread has
// left the canvas.
class CHandshakePicture : public CGatedAnimatedPicture {
public:
    bool m_bLetGoOnSkip = false;
    int m_nSkipped = 0;

protected:
    void OnPaintSkipped() override
    {
        ++m_nSkipped;
        if (!m_bLetGoOnSkip)
            return;
        m_bLetGoOnSkip = false;
        SetEvent(g_hGate);
        WaitForSingleObject(g_hDrawn, 5000);
        Sleep(100);
    }
};

TEST(AnimationStopSeam, APaintSkippedWhileTheThreadDrawsIsAskedForAgain)
{
    g_hDrawing = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_hGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_hDrawn = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    // The drawing reports failure although it drew, so the thread's own invalidation does
    // not come: only the skipped paint's request can bring the frame to the window.
    g_hrDrawn = E_FAIL;
    HWND hPopup = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE, 40, 40, 100, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND hChild = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, 10, 10, 30, 30, hPopup, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    CHandshakePicture picture;
    ASSERT_TRUE(picture.SubclassWindow(hChild));
    // A red frame shown until a stop (no control extension), then a green one.
    const std::vector<uint8_t> gif =
        GifBuilder(8, 8, {0xFFFFFF, 0xFF0000, 0x00FF00}).Fill(0, 0, 8, 8, 1).Fill(0, 0, 8, 8, 2).Trailer().Bytes();
    HGLOBAL h = GlobalCopy(gif);
    ASSERT_TRUE(picture.OpenData(h, gif.size()));
    GlobalFree(h);
    const COLORREF background = RGB(32, 64, 96);
    ASSERT_TRUE(picture.SetBackground(background));
    PumpMessages(100);
    ASSERT_EQ(CaptureClient(hChild).At(4, 4), background);

    picture.StartAnimation();
    ASSERT_EQ(WaitForSingleObject(g_hDrawing, 5000), WAIT_OBJECT_0) << "the red frame is being drawn";
    picture.m_bLetGoOnSkip = true;
    InvalidateRect(hChild, nullptr, FALSE);
    UpdateWindow(hChild);
    EXPECT_EQ(picture.m_nSkipped, 1);

    PumpMessages(300);
    const Pixels shown = CaptureClient(hChild);
    ASSERT_EQ(shown.cx, 8);
    EXPECT_EQ(shown.DistinctColours(), 1u);
    EXPECT_EQ(shown.At(4, 4), RGB(255, 0, 0)) << "the window still shows the canvas from before the frame";

    picture.StopAnimation();
    DestroyWindow(hPopup);
    g_hrDrawn = S_OK;
    CloseHandle(g_hDrawn);
    g_hDrawn = nullptr;
    CloseHandle(g_hDrawing);
    CloseHandle(g_hGate);
}

} // namespace
