#include "gif/CAnimatedPicture.h"

#include <process.h>

#include <atomic>
#include <new>
#include <vector>

#include "fw/AfxResource.h"
#include "gif/FrameSchedule.h"

namespace {

const COLORREF WHITE = RGB(255, 255, 255);
const UINT DISPOSE_TO_BACKGROUND = 2;
const UINT DISPOSE_TO_PREVIOUS = 3;

uint64_t NowMs()
{
    LARGE_INTEGER frequency, counter;
    if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 || !::QueryPerformanceCounter(&counter))
        return ::GetTickCount();
    const uint64_t f = static_cast<uint64_t>(frequency.QuadPart);
    const uint64_t c = static_cast<uint64_t>(counter.QuadPart);
    return c / f * 1000 + c % f * 1000 / f;
}

void FillWith(CDC &dc, int x, int y, int cx, int cy, COLORREF crColor)
{
    CBrush brush;
    if (!brush.CreateSolidBrush(crColor))
        return;
    RECT rc = {x, y, x + cx, y + cy};
    dc.FillRect(&rc, brush);
}

// Renders the whole picture, turned the right way up, into the rectangle.
HRESULT RenderPicture(IPicture *pPicture, HDC hDC, int x, int y, int cx, int cy)
{
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    if (!pPicture || FAILED(pPicture->get_Width(&hmWidth)) || FAILED(pPicture->get_Height(&hmHeight)))
        return E_FAIL;
    return pPicture->Render(hDC, x, y, cx, cy, 0, hmHeight, hmWidth, -hmHeight, nullptr);
}

} // namespace

// Everything the animation thread uses. The control and a running thread each hold a
// reference; whoever lets go last frees it.
struct CAnimatedPicture::State {
    State();
    ~State();
    void AddRef() { ++nRefs; }
    void Release()
    {
        if (--nRefs == 0)
            delete this;
    }

    // The thread's end of a drawing step: a paint that met the lock taken is asked again.
    void UnlockCanvas()
    {
        ::LeaveCriticalSection(&csCanvas);
        if (bPaintSkipped.exchange(false))
            Invalidate();
    }
    // Never with a null handle, which would invalidate every window.
    void Invalidate()
    {
        if (hWnd)
            ::InvalidateRect(hWnd, nullptr, FALSE);
    }

    void ReleaseFrames();
    void DeleteCanvas();
    void DeleteSavedArea();
    // Drawing steps of the loop; the caller holds the canvas lock.
    void SaveArea(const GifFrame &f);
    void Dispose(const GifFrame &f);

    std::atomic<long> nRefs;
    std::atomic<bool> bExit;
    std::atomic<bool> bPlaying;
    std::atomic<size_t> nCurrentFrame;   // the frame the animation shows next
    std::atomic<COLORREF> crBackground;
    std::atomic<bool> bPaintSkipped;
    HANDLE hExitEvent;                   // manual reset; signalled by a stop
    HWND hWnd;                           // only ever invalidated by the thread
    int nWidth;
    int nHeight;

    // One drawer of the canvas at a time: the thread renders, the paint handler copies.
    CRITICAL_SECTION csCanvas;
    CDC dcCanvas;
    CBitmap bmpCanvas;
    HGDIOBJ hOldCanvasBitmap;
    // The pixels under a frame of disposal 3, from its drawing to its disposal.
    CDC dcSaved;
    CBitmap bmpSaved;
    HGDIOBJ hOldSavedBitmap;

    std::vector<GifFrame> frames;
};

CAnimatedPicture::State::State()
    : nRefs(1), bExit(false), bPlaying(false), nCurrentFrame(0), crBackground(WHITE), bPaintSkipped(false),
      hExitEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), hWnd(nullptr), nWidth(0), nHeight(0),
      hOldCanvasBitmap(nullptr), hOldSavedBitmap(nullptr)
{
    ::InitializeCriticalSection(&csCanvas);
}

CAnimatedPicture::State::~State()
{
    ReleaseFrames();
    DeleteSavedArea();
    DeleteCanvas();
    if (hExitEvent)
        ::CloseHandle(hExitEvent);
    ::DeleteCriticalSection(&csCanvas);
}

void CAnimatedPicture::State::ReleaseFrames()
{
    for (GifFrame &f : frames)
        if (f.pPicture)
            f.pPicture->Release();
    frames.clear();   // the storage stays for the next picture
}

void CAnimatedPicture::State::DeleteCanvas()
{
    if (dcCanvas.m_hDC && hOldCanvasBitmap)
        dcCanvas.SelectObject(hOldCanvasBitmap);
    hOldCanvasBitmap = nullptr;
    dcCanvas.DeleteDC();
    bmpCanvas.DeleteObject();
}

void CAnimatedPicture::State::DeleteSavedArea()
{
    if (dcSaved.m_hDC && hOldSavedBitmap)
        dcSaved.SelectObject(hOldSavedBitmap);
    hOldSavedBitmap = nullptr;
    dcSaved.DeleteDC();
    bmpSaved.DeleteObject();
}

void CAnimatedPicture::State::SaveArea(const GifFrame &f)
{
    DeleteSavedArea();
    const int cx = static_cast<int>(f.nWidth);
    const int cy = static_cast<int>(f.nHeight);
    if (!dcSaved.CreateCompatibleDC(&dcCanvas) || !bmpSaved.CreateCompatibleBitmap(&dcCanvas, cx, cy)) {
        DeleteSavedArea();
        return;
    }
    hOldSavedBitmap = dcSaved.SelectObject(&bmpSaved);
    dcSaved.BitBlt(0, 0, cx, cy, &dcCanvas, static_cast<int>(f.nLeft), static_cast<int>(f.nTop), SRCCOPY);
}

void CAnimatedPicture::State::Dispose(const GifFrame &f)
{
    const int x = static_cast<int>(f.nLeft);
    const int y = static_cast<int>(f.nTop);
    const int cx = static_cast<int>(f.nWidth);
    const int cy = static_cast<int>(f.nHeight);
    if (f.nDisposal == DISPOSE_TO_BACKGROUND) {
        FillWith(dcCanvas, x, y, cx, cy, crBackground);
    } else if (f.nDisposal == DISPOSE_TO_PREVIOUS && dcSaved.m_hDC) {
        dcCanvas.BitBlt(x, y, cx, cy, &dcSaved, 0, 0, SRCCOPY);
        DeleteSavedArea();
    }
}

BEGIN_MESSAGE_MAP(CAnimatedPicture, CStatic)
    ON_WM_PAINT()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CAnimatedPicture::CAnimatedPicture()
    : CAccessibleProxy::Owner(this), m_nWidth(0), m_nHeight(0), m_bIsGif(FALSE), m_bCanvasReady(FALSE), m_hThread(nullptr), m_pStill(nullptr),
      m_pState(new (std::nothrow) State)
{
}

CAnimatedPicture::~CAnimatedPicture()
{
    Close();
    if (m_pState)
        m_pState->Release();
    m_pState = nullptr;
}

size_t CAnimatedPicture::GetFrameCount() const
{
    return m_pState ? m_pState->frames.size() : 0;
}

CSize CAnimatedPicture::GetPictureSize() const
{
    return CSize(m_nWidth, m_nHeight);
}

HRESULT CAnimatedPicture::LoadPicture(IStream *pStream, LONG nSize, IPicture **ppPicture)
{
    return ::OleLoadPicture(pStream, nSize, FALSE, IID_IPicture, reinterpret_cast<void **>(ppPicture));
}

BOOL CAnimatedPicture::OpenResource(LPCSTR lpszName, LPCSTR lpszType)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hResource = AfxFindResource(hInst, lpszName, lpszType);
    HGLOBAL hLoaded = hResource ? ::LoadResource(hInst, hResource) : nullptr;
    const DWORD nSize = hResource ? ::SizeofResource(hInst, hResource) : 0;
    const void *pResource = hLoaded ? ::LockResource(hLoaded) : nullptr;
    if (!pResource || nSize == 0)
        return FALSE;

    HGLOBAL hGlobal = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, nSize);
    void *pCopy = hGlobal ? ::GlobalLock(hGlobal) : nullptr;
    if (!pCopy) {
        if (hGlobal)
            ::GlobalFree(hGlobal);
        return FALSE;
    }
    memcpy(pCopy, pResource, nSize);
    ::GlobalUnlock(hGlobal);
    const BOOL bLoaded = OpenData(hGlobal, nSize);
    ::GlobalFree(hGlobal);
    return bLoaded;
}

BOOL CAnimatedPicture::LoadStill(HGLOBAL hGlobal, SIZE_T nSize)
{
    IStream *pStream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(hGlobal, FALSE, &pStream)) || !pStream)
        return FALSE;
    IPicture *pPicture = nullptr;
    const HRESULT hr = LoadPicture(pStream, static_cast<LONG>(nSize), &pPicture);
    pStream->Release();
    if (FAILED(hr) || !pPicture)
        return FALSE;
    m_pStill = pPicture;
    return TRUE;
}

BOOL CAnimatedPicture::OpenData(HGLOBAL hGlobal, SIZE_T nSize)
{
    Close();
    if (!m_pState || !hGlobal)
        return FALSE;
    // Never trust a size beyond the block itself.
    const SIZE_T nBlock = ::GlobalSize(hGlobal);
    if (nSize > nBlock)
        nSize = nBlock;
    if (nSize >= 0x7FFFFFFF)
        return FALSE;   // the loader takes a LONG, also for a frame's file of one byte more
    const BYTE *pData = static_cast<const BYTE *>(::GlobalLock(hGlobal));
    if (!pData)
        return FALSE;

    m_walker.Attach(pData, nSize);
    size_t nFrames = 0;
    const GifLoadPath path = m_walker.Plan(&nFrames);
    if (path == GIF_LOAD_STILL) {
        m_walker.Detach();
        ::GlobalUnlock(hGlobal);
        if (!LoadStill(hGlobal, nSize))
            return FALSE;
        OLE_XSIZE_HIMETRIC hmWidth = 0;
        OLE_YSIZE_HIMETRIC hmHeight = 0;
        m_pStill->get_Width(&hmWidth);
        m_pStill->get_Height(&hmHeight);
        HDC hDC = ::GetDC(m_hWnd);
        int nWidth = 0, nHeight = 0;
        if (hDC) {
            nWidth = ::MulDiv(hmWidth, ::GetDeviceCaps(hDC, LOGPIXELSX), 2540);
            nHeight = ::MulDiv(hmHeight, ::GetDeviceCaps(hDC, LOGPIXELSY), 2540);
            ::ReleaseDC(m_hWnd, hDC);
        }
        if (!CreateCanvas(nWidth, nHeight)) {
            Close();
            return FALSE;
        }
        return TRUE;
    }

    m_bIsGif = TRUE;
    const int nWidth = static_cast<int>(m_walker.ScreenWidth());
    const int nHeight = static_cast<int>(m_walker.ScreenHeight());
    uint32_t crTable = 0;
    if (m_walker.BackgroundColour(&crTable))
        m_pState->crBackground = crTable;

    BOOL bLoaded = FALSE;
    if (path == GIF_LOAD_ONE_FRAME) {
        m_walker.Detach();
        ::GlobalUnlock(hGlobal);
        bLoaded = LoadStill(hGlobal, nSize);
    } else if (path == GIF_LOAD_FRAMES) {
        try {
            m_pState->frames.reserve(nFrames);
        } catch (...) {
            // The list grows as frames decode.
        }
        HGLOBAL hFrame = nullptr;
        SIZE_T nFrameSize = 0;
        GifFrame frame = {};
        while (ExtractFrame(&hFrame, &nFrameSize, &frame)) {
            if (!hFrame)
                continue;
            IStream *pStream = nullptr;
            if (FAILED(::CreateStreamOnHGlobal(hFrame, TRUE, &pStream)) || !pStream) {
                ::GlobalFree(hFrame);
                continue;
            }
            // The stream owns the block now and frees it on release.
            frame.pPicture = nullptr;
            const HRESULT hr = LoadPicture(pStream, static_cast<LONG>(nFrameSize), &frame.pPicture);
            pStream->Release();
            if (FAILED(hr) || !frame.pPicture)
                continue;
            try {
                m_pState->frames.push_back(frame);
            } catch (...) {
                frame.pPicture->Release();
            }
        }
        m_walker.Detach();
        ::GlobalUnlock(hGlobal);
        bLoaded = !m_pState->frames.empty();
    } else {
        m_walker.Detach();
        ::GlobalUnlock(hGlobal);
    }
    if (!bLoaded || !CreateCanvas(nWidth, nHeight)) {
        Close();
        return FALSE;
    }
    return TRUE;
}

BOOL CAnimatedPicture::ExtractFrame(HGLOBAL *phFrame, SIZE_T *pnSize, GifFrame *pFrame)
{
    GifFrameCut cut;
    if (!m_walker.ExtractFrame(&cut))
        return FALSE;
    pFrame->pPicture = nullptr;
    pFrame->nWidth = cut.nWidth;
    pFrame->nHeight = cut.nHeight;
    pFrame->nLeft = cut.nLeft;
    pFrame->nTop = cut.nTop;
    pFrame->nDelay = cut.nDelay;
    pFrame->nDisposal = cut.nDisposal;

    *phFrame = nullptr;
    *pnSize = m_walker.FrameFileSize(cut);
    HGLOBAL hFrame = ::GlobalAlloc(GMEM_MOVEABLE, *pnSize);
    BYTE *pFile = hFrame ? static_cast<BYTE *>(::GlobalLock(hFrame)) : nullptr;
    if (!pFile) {
        if (hFrame)
            ::GlobalFree(hFrame);
        return TRUE;   // this frame is dropped; the walk goes on
    }
    const bool bWritten = m_walker.WriteFrameFile(cut, pFile);
    ::GlobalUnlock(hFrame);
    if (!bWritten) {
        ::GlobalFree(hFrame);
        return TRUE;
    }
    *phFrame = hFrame;
    return TRUE;
}

BOOL CAnimatedPicture::CreateCanvas(int nWidth, int nHeight)
{
    if (!m_pState)
        return FALSE;
    if (m_hThread)
        StopAnimation();
    if (!m_pState)
        return FALSE;
    State &s = *m_pState;
    s.DeleteSavedArea();
    s.DeleteCanvas();
    m_bCanvasReady = FALSE;

    if (m_hWnd)
        SetWindowPos(nullptr, 0, 0, nWidth, nHeight, SWP_NOMOVE | SWP_NOZORDER);
    HDC hWindowDC = ::GetDC(m_hWnd);
    if (!hWindowDC)
        return FALSE;
    CTempDC dcWindow(hWindowDC);
    if (!s.dcCanvas.CreateCompatibleDC(&dcWindow)) {
        ::ReleaseDC(m_hWnd, hWindowDC);
        return FALSE;
    }
    if (!s.bmpCanvas.CreateCompatibleBitmap(&dcWindow, nWidth, nHeight)) {
        ::ReleaseDC(m_hWnd, hWindowDC);
        s.dcCanvas.DeleteDC();
        return FALSE;
    }
    s.hOldCanvasBitmap = s.dcCanvas.SelectObject(&s.bmpCanvas);
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    s.nWidth = nWidth;
    s.nHeight = nHeight;
    s.crBackground = ::GetSysColor(COLOR_BTNFACE);
    RECT rc = {0, 0, nWidth, nHeight};
    s.dcCanvas.FillRect(&rc, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1)));
    ::ReleaseDC(m_hWnd, hWindowDC);
    m_bCanvasReady = TRUE;
    return TRUE;
}

BOOL CAnimatedPicture::SetBackground(COLORREF crBackground)
{
    if (!m_bCanvasReady || !m_pState)
        return FALSE;
    State &s = *m_pState;
    s.crBackground = crBackground;
    CBrush brush;
    if (!brush.CreateSolidBrush(crBackground))
        return FALSE;
    RECT rc = {0, 0, m_nWidth, m_nHeight};
    ::EnterCriticalSection(&s.csCanvas);
    s.dcCanvas.FillRect(&rc, brush);
    ::LeaveCriticalSection(&s.csCanvas);
    if (m_hWnd)
        Invalidate(FALSE);
    return TRUE;
}

void CAnimatedPicture::StartAnimation()
{
    if (!m_bCanvasReady || !m_pState)
        return;
    State &s = *m_pState;
    if (m_bIsGif && s.frames.size() > 1) {
        // One thread at a time, and only one that a stop can wake.
        if (m_hThread || !s.hExitEvent)
            return;
        s.hWnd = m_hWnd;
        s.AddRef();   // the thread's reference
        HANDLE hThread = reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, 0, AnimationThread, &s, CREATE_SUSPENDED, nullptr));
        if (!hThread) {
            s.Release();
            return;
        }
        m_hThread = hThread;
        ::ResumeThread(hThread);
        return;
    }
    if (m_pStill) {
        ::EnterCriticalSection(&s.csCanvas);
        const HRESULT hr = RenderPicture(m_pStill, s.dcCanvas, 0, 0, m_nWidth, m_nHeight);
        ::LeaveCriticalSection(&s.csCanvas);
        if (SUCCEEDED(hr) && m_hWnd)
            Invalidate(FALSE);
    }
}

unsigned __stdcall CAnimatedPicture::AnimationThread(void *pParam)
{
    State *pState = static_cast<State *>(pParam);
    pState->bPlaying = true;
    AnimationLoop(pState);
    pState->bPlaying = false;
    pState->Release();   // may free the state: a stop that gave up on this thread left it here
    return 0;
}

void CAnimatedPicture::AnimationLoop(State *pState)
{
    State &s = *pState;
    const size_t nFrames = s.frames.size();
    if (nFrames == 0)
        return;
    if (s.nCurrentFrame >= nFrames)
        s.nCurrentFrame = 0;

    // From a disposal to the drawing of the next frame the canvas stays locked, so a paint
    // never shows the step between two frames, and a stop is seen only after the drawing:
    // the canvas always holds a whole frame, the current one. A restart disposes of that
    // frame and draws it again.
    ::EnterCriticalSection(&s.csCanvas);
    s.Dispose(s.frames[s.nCurrentFrame]);
    FrameSchedule schedule;
    for (;;) {
        size_t i = s.nCurrentFrame;
        const GifFrame &f = s.frames[i];
        if (f.nDisposal == DISPOSE_TO_PREVIOUS)
            s.SaveArea(f);
        const HRESULT hr = RenderPicture(f.pPicture, s.dcCanvas, static_cast<int>(f.nLeft), static_cast<int>(f.nTop),
                                         static_cast<int>(f.nWidth), static_cast<int>(f.nHeight));
        s.UnlockCanvas();
        if (SUCCEEDED(hr))
            s.Invalidate();
        if (s.bExit)
            return;

        // Sleeps until the frame's time is up or a stop signals; never polls.
        const DWORD nWait = schedule.WaitAfterFrame(NowMs(), f.nDelay);
        if (::WaitForSingleObject(s.hExitEvent, nWait) == WAIT_FAILED || s.bExit)
            return;

        ::EnterCriticalSection(&s.csCanvas);
        s.Dispose(f);
        if (++i >= nFrames) {
            // Every loop starts from a clear canvas.
            i = 0;
            FillWith(s.dcCanvas, 0, 0, s.nWidth, s.nHeight, s.crBackground);
        }
        s.nCurrentFrame = i;
    }
}

void CAnimatedPicture::StopAnimation()
{
    if (!m_pState)
        return;
    State &s = *m_pState;
    s.bPlaying = false;
    s.bExit = true;
    if (s.hExitEvent)
        ::SetEvent(s.hExitEvent);
    if (m_hThread) {
        const DWORD nWait = ::WaitForSingleObject(m_hThread, STOP_WAIT_MS);
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
        if (nWait != WAIT_OBJECT_0) {
            // The thread still runs and still draws: it keeps the state and frees it when
            // it ends. It must go on seeing the stop, so nothing is reset here.
            AbandonState();
            return;
        }
    }
    if (s.hExitEvent)
        ::ResetEvent(s.hExitEvent);
    s.bExit = false;
}

void CAnimatedPicture::AbandonState()
{
    m_pState->Release();
    m_pState = new (std::nothrow) State;
    m_bCanvasReady = FALSE;
    m_bIsGif = FALSE;
}

void CAnimatedPicture::Close()
{
    StopAnimation();
    if (m_pStill) {
        m_pStill->Release();
        m_pStill = nullptr;
    }
    if (m_pState) {
        State &s = *m_pState;
        s.ReleaseFrames();
        s.DeleteCanvas();
        s.DeleteSavedArea();
        s.nCurrentFrame = 0;
        s.crBackground = WHITE;
        s.bExit = false;
    }
    m_walker.Detach();
    m_bCanvasReady = FALSE;
    m_bIsGif = FALSE;
    m_nWidth = 0;
    m_nHeight = 0;
}

void CAnimatedPicture::OnPaint()
{
    CPaintDC dc(this);
    if (!m_bCanvasReady || !m_pState)
        return;
    State &s = *m_pState;
    // The user-interface thread never waits for the drawing thread: a paint that meets it
    // drawing is skipped, and the thread invalidates again when it lets go of the canvas.
    // The request is raised before the try, so a thread that lets go in between sees it.
    s.bPaintSkipped = true;
    if (!::TryEnterCriticalSection(&s.csCanvas)) {
        OnPaintSkipped();
        return;
    }
    s.bPaintSkipped = false;
    dc.BitBlt(0, 0, m_nWidth, m_nHeight, &s.dcCanvas, 0, 0, SRCCOPY);
    ::LeaveCriticalSection(&s.csCanvas);
}

void CAnimatedPicture::OnPaintSkipped() {}

void CAnimatedPicture::OnDestroy()
{
    StopAnimation();
    CStatic::OnDestroy();
}
