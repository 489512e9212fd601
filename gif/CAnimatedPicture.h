// A static control that shows a picture and animates a GIF of several frames. Loading cuts
// every frame out as a one-frame GIF and has the platform loader decode it once; a thread of
// the control's own then renders the frames into an off-screen canvas with their delays and
// disposal methods and invalidates the window, whose paint handler only copies the canvas.
//
// The animation thread never touches the control object: it works on a separate state block
// that it holds a reference to. A stop that outlasts its wait leaves that block to the thread,
// which frees it when it ends, so nothing it uses is ever freed under it.
#pragma once

#include <ocidl.h>
#include <olectl.h>

#include "fw/Afx.h"
#include "fw/CAccessibleProxy.h"
#include "gif/GifBlockWalker.h"

// One animation frame.
struct GifFrame {
    IPicture *pPicture;   // the decoded one-frame picture; the list owns one reference
    UINT nWidth;          // size and position within the logical screen
    UINT nHeight;
    UINT nLeft;
    UINT nTop;
    UINT nDelay;          // hundredths of a second; 0xFFFFFFFF without a control extension
    UINT nDisposal;       // 0 to 7; 0 without a control extension
};

class CAnimatedPicture : public CStatic, public CAccessibleProxy::Owner {
public:
    CAnimatedPicture();
    ~CAnimatedPicture() override;

    // From a resource of the framework's resource module; name and type are strings or
    // integer identifiers.
    BOOL OpenResource(LPCSTR lpszName, LPCSTR lpszType);
    // From a movable global block of nSize bytes; the caller keeps the block. TRUE when the
    // picture was decoded and the canvas created.
    BOOL OpenData(HGLOBAL hGlobal, SIZE_T nSize);

    // Sizes the window to the picture and creates the canvas.
    BOOL CreateCanvas(int nWidth, int nHeight);
    // Clears the canvas to the colour, which also fills disposed frames; FALSE without canvas.
    BOOL SetBackground(COLORREF crBackground);
    // Animates a GIF of several frames, or renders a still picture once.
    void StartAnimation();
    void StopAnimation();
    // Stops and releases everything loading created.
    void Close();

    // What is loaded.
    BOOL IsGif() const { return m_bIsGif; }
    size_t GetFrameCount() const;
    CSize GetPictureSize() const;

    // An animation, named by its owner for what it stands for.
    CString m_strAccName;
    long AccRole() const override { return ROLE_SYSTEM_ANIMATION; }
    const char *AccName() const override { return m_strAccName; }

    // How long a stop waits for the animation thread to end.
    static const DWORD STOP_WAIT_MS = 5000;

protected:
    // Decodes one picture from a stream of nSize bytes.
    virtual HRESULT LoadPicture(IStream *pStream, LONG nSize, IPicture **ppPicture);

    // The next frame as a new one-frame GIF in a movable block (null when it could not be
    // allocated); FALSE when there is no further frame.
    BOOL ExtractFrame(HGLOBAL *phFrame, SIZE_T *pnSize, GifFrame *pFrame);

    // A paint met the drawing thread inside the canvas and left the copy to a later paint.
    virtual void OnPaintSkipped();

    afx_msg void OnPaint();
    afx_msg void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    struct State;

    // Decodes hGlobal (not owned) as one picture into m_pStill.
    BOOL LoadStill(HGLOBAL hGlobal, SIZE_T nSize);
    // Gives the current state to a thread that outlived its stop, and starts a fresh one.
    void AbandonState();
    static unsigned __stdcall AnimationThread(void *pParam);
    static void AnimationLoop(State *pState);

    int m_nWidth;
    int m_nHeight;
    BOOL m_bIsGif;
    BOOL m_bCanvasReady;
    HANDLE m_hThread;         // the animation thread, owned by the control; closed by the stop
    IPicture *m_pStill;       // the picture when the data is shown as one picture
    GifBlockWalker m_walker;  // the data being loaded: size, read offset, colour table size
    State *m_pState;          // canvas, frames, background, shared flags
};
