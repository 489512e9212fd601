// A static control that shows one short paragraph of markup: colours, weight, size,
// underlines and links, broken into lines character by character to fit its width. The
// runs are laid out and drawn into a cached image when the text or the size changes; every
// other paint copies the image. A left click on a live link sends the parent a WM_NOTIFY
// shaped like EN_LINK. The control needs SS_NOTIFY to see the mouse.
#pragma once

#include "fw/Afx.h"
#include "fw/CAccessibleProxy.h"
#include "markup/MarkupContent.h"

class CMarkupLabel : public CStatic, public MarkupContent, public CAccessibleProxy::Owner {
public:
    CMarkupLabel();
    ~CMarkupLabel() override;

    // Draws the label's background after the plain fill: (context, DC, client rectangle).
    typedef int (*PFN_BACKGROUND)(LPARAM lContext, CDC *pDC, RECT *pRect);

    // Sets the content and paints it before returning; the same markup again changes
    // nothing. The window must exist.
    void SetMarkupText(LPCSTR lpszMarkup);
    void ResetContent();

    // The style a layout or drawing pass starts with: the stock GUI font with the label's
    // face and height, no colours, no underline, no link.
    static TextStyle DefaultStyle();

    void SelectStyle(CDC &dc, const TextStyle &style);
    void ReleaseStyle(CDC &dc);
    // A code run changes the style stack; a text run draws its placed pieces.
    void DrawRun(CDC &dc, const MarkupRun &run);
    // Called once per rebuilt image, after the plain fill and before the runs.
    virtual void DrawBackground(CDC *pDC, RECT *pRect);

    // Static text named by its plain text; each placed link is a child.
    long AccRole() const override;
    const char *AccName() const override;
    int AccLinkCount() const override;
    const char *AccLinkName(int nLink) const override;
    BOOL AccLinkRect(int nLink, RECT *prc) const override;
    BOOL AccOpenLink(int nLink) override;

    // The text run of the nLink-th placed link (from 1), or null.
    const MarkupRun *LinkRun(int nLink) const;

    BOOL m_bInvalidateOnErase;   // an erase request invalidates the whole window
    BOOL m_bLayoutDirty;         // the next paint lays out again and rebuilds the image
    BOOL m_bTextSet;             // markup set since the last reset
    COLORREF m_crDefaultText;    // the colours the parent put into the DC
    COLORREF m_crDefaultBack;
    HGDIOBJ m_pOldFont;          // the font SelectStyle replaced in the DC
    CFont m_font;                // the font of the style selected now
    CString m_strClickedLink;    // text of the link run clicked last
    CBitmap m_bmpCache;          // the rendered label
    int m_cacheWidth;
    int m_cacheHeight;
    LPARAM m_pBackgroundContext;
    PFN_BACKGROUND m_pfnBackground;

protected:
    void LayoutRuns(CDC &dc, int clientRight);

    afx_msg BOOL OnEraseBkgnd(CDC *pDC);
    afx_msg void OnPaint();
    afx_msg void OnDestroy();
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg BOOL OnSetCursor(CWnd *pWnd, UINT nHitTest, UINT message);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    // The keyboard and the accessible link's action.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OpenLink(int nLink);

    // Tells the parent that the link piece at the point was clicked; FALSE if none is there.
    BOOL NotifyLinkAt(CPoint point);

    DECLARE_MESSAGE_MAP()
};
