// A push button painted from four state images (normal, hover, pressed, disabled) widened or
// narrowed to the button, with its caption centred on top. It follows the mouse itself so
// the hover look comes and goes; clicks reach the parent as ordinary BN_CLICKED commands.
#pragma once

#include "fw/CAccessibleProxy.h"
#include "fw/CBitmap.h"
#include "fw/CButton.h"
#include "fw/CToolTipCtrl.h"

class CSkinButton : public CButton, public CAccessibleProxy::Owner {
public:
    CSkinButton();
    ~CSkinButton() override;

    // Bitmap resources for the four looks (0: none, the look is a plain m_crBack fill);
    // the button repaints. Call it once the button is bound to its control.
    void SetBitmaps(UINT nNormal, UINT nHover, UINT nPressed, UINT nDisabled);

    void PreSubclassWindow() override;
    BOOL PreTranslateMessage(MSG *pMsg) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    // The keyboard is in use: the focus may show. Set by the dialog at the first key.
    BOOL m_bFocusCue;

    // A push button named by its caption; pressing it clicks it.
    long AccRole() const override;
    const char *AccName() const override;
    const char *AccDefaultAction() const override;
    BOOL AccDoDefaultAction() override;

protected:
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg BOOL OnEraseBkgnd(CDC *pDC);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDblClk(UINT nFlags, CPoint point);
    afx_msg void OnDestroy();
    // Enter on the focused button clicks it.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    afx_msg LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);

    CBitmap m_bmpNormal;
    CBitmap m_bmpHover;
    CBitmap m_bmpPressed;
    CBitmap m_bmpDisabled;
    CBitmap m_bmpImage;           // decoration, never set
    CBitmap m_bmpImageDisabled;   // decoration, never set
    BITMAP m_bmNormalInfo;        // its size stands for every state image
    BITMAP m_bmHoverInfo;
    BITMAP m_bmPressedInfo;
    BITMAP m_bmDisabledInfo;
    BITMAP m_bmImageInfo;
    int m_nAlign;
    COLORREF m_crBack;            // fill of a look without an image
    COLORREF m_crTextNormal;
    COLORREF m_crTextHover;
    COLORREF m_crTextPressed;
    COLORREF m_crTextDisabled;
    int m_bBold;
    int m_bUnderline;
    int m_bUnderlineOnHover;
    int m_nFontHeight;
    int m_bPressed;               // left button went down here and has not come up
    int m_bHover;                 // cursor over the button
    int m_bTracking;              // a leave notice is requested and still to come
    int m_nChecked;
    int m_bShowPressedOnce;
    CString m_strText;            // the caption, taken over from the window
    HICON m_hIcon;                // decoration, never set
    HICON m_hIconDisabled;        // decoration, never set
    int m_cxIcon;
    int m_cyIcon;
    int m_nIconMargin;
    int m_bNotifyOnPress;
    CToolTipCtrl m_toolTip;

    DECLARE_MESSAGE_MAP()

private:
    void Press();
    void Release();
    void NotifyParentOfClick();
    HFONT CreateTextFont() const;
};
