#include "skin/CSkinButton.h"

#include <commctrl.h>

#include <cstring>

#include "fw/AfxResource.h"
#include "fw/CFont.h"
#include "skin/ButtonSlices.h"

namespace {
const char TEXT_FACE[] = "Tahoma";
const UINT_PTR TOOL_ID = 1;

// Loads bitmap resource nID into bitmap and its size into *pInfo; both stay empty when
// nID is 0 or the resource does not load.
void LoadStateImage(CBitmap &bitmap, BITMAP *pInfo, UINT nID)
{
    bitmap.DeleteObject();
    std::memset(pInfo, 0, sizeof(*pInfo));
    if (!nID || !bitmap.LoadBitmap(nID))
        return;
    bitmap.GetBitmap(pInfo);
}
} // namespace

BEGIN_MESSAGE_MAP(CSkinButton, CButton)
    ON_WM_MOUSEMOVE()
    ON_WM_ERASEBKGND()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_DESTROY()
    ON_WM_MOUSELEAVE()
END_MESSAGE_MAP()

CSkinButton::CSkinButton()
    : CAccessibleProxy::Owner(this), m_bFocusCue(FALSE), m_bmNormalInfo(), m_bmHoverInfo(), m_bmPressedInfo(), m_bmDisabledInfo(), m_bmImageInfo(),
      m_nAlign(0), m_crBack(RGB(255, 255, 255)), m_crTextNormal(RGB(0, 0, 0)),
      m_crTextHover(RGB(0, 0, 0)), m_crTextPressed(RGB(0, 0, 0)),
      m_crTextDisabled(RGB(192, 192, 192)), m_bBold(0), m_bUnderline(0), m_bUnderlineOnHover(0),
      m_nFontHeight(-12), m_bPressed(0), m_bHover(0), m_bTracking(0), m_nChecked(0),
      m_bShowPressedOnce(0), m_hIcon(nullptr), m_hIconDisabled(nullptr), m_cxIcon(0), m_cyIcon(0),
      m_nIconMargin(0), m_bNotifyOnPress(0)
{
}

CSkinButton::~CSkinButton()
{
    if (m_hIcon)
        ::DestroyIcon(m_hIcon);
    if (m_hIconDisabled)
        ::DestroyIcon(m_hIconDisabled);
    // The bitmaps and the tooltip go with their members.
}

void CSkinButton::SetBitmaps(UINT nNormal, UINT nHover, UINT nPressed, UINT nDisabled)
{
    LoadStateImage(m_bmpNormal, &m_bmNormalInfo, nNormal);
    LoadStateImage(m_bmpHover, &m_bmHoverInfo, nHover);
    LoadStateImage(m_bmpPressed, &m_bmPressedInfo, nPressed);
    LoadStateImage(m_bmpDisabled, &m_bmDisabledInfo, nDisabled);
    if (m_hWnd)
        InvalidateRect(nullptr, FALSE);
}

void CSkinButton::PreSubclassWindow()
{
    // Owner-drawn from now on; only the button type changes, whatever type it had.
    SetButtonStyle((GetStyle() & 0xFF & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_OWNERDRAW, TRUE);

    // Only m_strText is drawn: the window's own text would show in no look.
    GetWindowText(m_strText);
    SetWindowText("");

    // The tooltip exists but stays off.
    if (m_toolTip.Create(this, TTS_ALWAYSTIP)) {
        CRect rc;
        GetClientRect(&rc);
        m_toolTip.AddTool(this, m_strText, &rc, TOOL_ID);
        m_toolTip.Activate(FALSE);
    }

    CButton::PreSubclassWindow();
}

BOOL CSkinButton::PreTranslateMessage(MSG *pMsg)
{
    if (pMsg->message == WM_MOUSEMOVE && m_toolTip.m_hWnd) {
        m_toolTip.RelayEvent(pMsg);
        m_toolTip.Update();
    }
    return CButton::PreTranslateMessage(pMsg);
}

long CSkinButton::AccRole() const
{
    return ROLE_SYSTEM_PUSHBUTTON;
}

const char *CSkinButton::AccName() const
{
    return m_strText;
}

const char *CSkinButton::AccDefaultAction() const
{
    return "按";
}

BOOL CSkinButton::AccDoDefaultAction()
{
    if (!IsWindowVisible() || !IsWindowEnabled())
        return FALSE;
    // Posted: the command may show a message box, and the client must not wait for it.
    HWND hParent = ::GetParent(m_hWnd);
    return hParent && ::PostMessageW(hParent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED),
                                     reinterpret_cast<LPARAM>(m_hWnd));
}

void CSkinButton::OnMouseMove(UINT nFlags, CPoint point)
{
    if (HWND hParent = ::GetParent(m_hWnd)) {
        // Bit 31 marks the move as relayed by a button.
        POINT pt = point;
        ::ClientToScreen(hParent, &pt);
        ::SendMessageW(hParent, WM_MOUSEMOVE, nFlags | 0x80000000u,
                       MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)));
    }
    if (!m_bTracking) {
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, m_hWnd, 1};
        // A refused request is asked again at the next move.
        m_bTracking = ::_TrackMouseEvent(&tme) ? 1 : 0;
        InvalidateRect(nullptr, FALSE);
    }
    m_bHover = 1;
    Default();
}

BOOL CSkinButton::OnEraseBkgnd(CDC * /*pDC*/)
{
    // DrawItem covers every pixel.
    return TRUE;
}

void CSkinButton::Press()
{
    m_bPressed = 1;
    if (m_bNotifyOnPress)
        NotifyParentOfClick();
}

void CSkinButton::Release()
{
    m_bPressed = 0;
    m_bShowPressedOnce = 0;
}

void CSkinButton::NotifyParentOfClick()
{
    if (HWND hParent = ::GetParent(m_hWnd))
        ::SendMessageW(hParent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED),
                       reinterpret_cast<LPARAM>(m_hWnd));
}

void CSkinButton::OnLButtonDown(UINT /*nFlags*/, CPoint /*point*/)
{
    Press();
    Default();
}

void CSkinButton::OnLButtonUp(UINT /*nFlags*/, CPoint /*point*/)
{
    Release();
    Default();
}

void CSkinButton::OnLButtonDblClk(UINT /*nFlags*/, CPoint /*point*/)
{
    Press();
    Release();
    Default();
}

void CSkinButton::OnDestroy()
{
    CButton::OnDestroy();
    if (m_toolTip.m_hWnd && ::IsWindow(m_toolTip.m_hWnd))
        m_toolTip.DelTool(this, TOOL_ID);
}

LRESULT CSkinButton::OnMouseLeave(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    m_bHover = 0;
    m_bTracking = 0;
    InvalidateRect(nullptr, FALSE);
    return 0;
}

LRESULT CSkinButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        NotifyParentOfClick();
        return 0;
    }
    LRESULT result = CButton::WindowProc(message, wParam, lParam);
    if (message == WM_UPDATEUISTATE)
        InvalidateRect(nullptr, FALSE);   // the focus cue comes or goes
    // Enter on the focused button is the button's, not the dialog's.
    const MSG *pMsg = reinterpret_cast<const MSG *>(lParam);
    if (message == WM_GETDLGCODE && pMsg && pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN)
        result |= DLGC_WANTMESSAGE;
    return result;
}

HFONT CSkinButton::CreateTextFont() const
{
    LOGFONTA lf = {};
    AfxGetGuiLogFont(&lf);
    lf.lfHeight = m_nFontHeight;
    lf.lfWeight = m_bBold == 1 ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = static_cast<BYTE>(m_bUnderlineOnHover ? m_bHover : m_bUnderline);
    char szStockFace[LF_FACESIZE] = "";
    if (std::strncmp(lf.lfFaceName, TEXT_FACE, LF_FACESIZE) != 0) {
        std::memcpy(szStockFace, lf.lfFaceName, LF_FACESIZE);
        szStockFace[LF_FACESIZE - 1] = '\0';
        std::strncpy(lf.lfFaceName, TEXT_FACE, LF_FACESIZE - 1);
        lf.lfFaceName[LF_FACESIZE - 1] = '\0';
    }
    CFont font;
    if (!font.CreateFontIndirect(&lf)) {
        std::memcpy(lf.lfFaceName, szStockFace, LF_FACESIZE);
        font.CreateFontIndirect(&lf);
    }
    return static_cast<HFONT>(font.Detach());
}

void CSkinButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    if (!lpDrawItemStruct || !lpDrawItemStruct->hDC)
        return;
    CTempDC dc(lpDrawItemStruct->hDC);
    const int nSavedDC = dc.SaveDC();
    if (!nSavedDC)
        return;
    const CRect rcItem(lpDrawItemStruct->rcItem);
    const int cx = rcItem.Width();
    const int cy = rcItem.Height();

    // Composed off-screen, copied once: the button never flickers. Without a whole
    // surface nothing is drawn rather than half a button.
    CDC dcCompose;
    CDC dcImage;
    CBitmap bmpCompose;
    if (cx > 0 && cy > 0 && dcCompose.CreateCompatibleDC(&dc) &&
        bmpCompose.CreateCompatibleBitmap(&dc, cx, cy) && dcImage.CreateCompatibleDC(&dc)) {
        HGDIOBJ hOldCompose = dcCompose.SelectObject(&bmpCompose);

        const BOOL bDisabled = (lpDrawItemStruct->itemState & ODS_DISABLED) != 0;
        const BOOL bPressedLook = m_bPressed || m_nChecked == 1;
        CBitmap *pImage = &m_bmpNormal;
        if (bDisabled) {
            pImage = &m_bmpDisabled;
        } else if (bPressedLook) {
            pImage = &m_bmpPressed;
        } else if (m_bHover) {
            pImage = m_bShowPressedOnce ? &m_bmpPressed : &m_bmpHover;
            m_bShowPressedOnce = 0;
        }

        // The normal image's size stands for every state image.
        const int cyImage = m_bmNormalInfo.bmHeight;
        const ButtonSlices slices = ComputeButtonSlices(cx, m_bmNormalInfo.bmWidth);
        if (pImage->m_hObject && slices.count > 0 && cyImage > 0) {
            HGDIOBJ hOldImage = dcImage.SelectObject(pImage);
            for (std::size_t i = 0; i < slices.count; ++i) {
                const SliceBlit &b = slices.blits[i];
                dcCompose.StretchBlt(b.xDest, 0, b.cxDest, cy, &dcImage, b.xSrc, 0, b.cxSrc, cyImage,
                                     SRCCOPY);
            }
            dcImage.SelectObject(hOldImage);
        } else {
            dcCompose.FillSolidRect(0, 0, cx, cy, m_crBack);
        }

        if (!m_strText.IsEmpty()) {
            const int nOldMode = dcCompose.SetBkMode(TRANSPARENT);
            HFONT hFont = CreateTextFont();
            HGDIOBJ hOldFont = hFont ? dcCompose.SelectObject(hFont) : nullptr;
            COLORREF crText = m_crTextNormal;
            if (bDisabled)
                crText = m_crTextDisabled;
            else if (bPressedLook)
                crText = m_crTextPressed;
            else if (m_bHover)
                crText = m_crTextHover;
            const COLORREF crOldText = dcCompose.SetTextColor(crText);
            CRect rcText(0, 0, cx, cy);
            if (m_bPressed && !m_bNotifyOnPress)
                rcText.OffsetRect(1, 1);
            dcCompose.DrawText(m_strText, m_strText.GetLength(), &rcText,
                               DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            if (hOldFont)
                dcCompose.SelectObject(hOldFont);
            dcCompose.SetTextColor(crOldText);
            dcCompose.SetBkMode(nOldMode);
            if (hFont)
                ::DeleteObject(hFont);
        }

        // The keyboard focus, once the keyboard is in use.
        if (m_bFocusCue && (lpDrawItemStruct->itemState & (ODS_FOCUS | ODS_NOFOCUSRECT)) == ODS_FOCUS &&
            !(SendMessage(WM_QUERYUISTATE) & UISF_HIDEFOCUS)) {
            RECT rcFocus = {3, 3, cx - 3, cy - 3};
            ::DrawFocusRect(dcCompose.m_hDC, &rcFocus);
        }
        dc.BitBlt(rcItem.left, rcItem.top, cx, cy, &dcCompose, 0, 0, SRCCOPY);
        dcCompose.SelectObject(hOldCompose);
    }
    dc.RestoreDC(nSavedDC);
}
