#include "markup/CMarkupLabel.h"

#include <richedit.h>

#include <cstddef>
#include <cstring>

#include "fw/CFont.h"
#include "markup/GbkCharStepper.h"

static_assert(sizeof(FontDescription) == sizeof(LOGFONTA), "font description is a LOGFONTA");
static_assert(offsetof(FontDescription, lfWeight) == offsetof(LOGFONTA, lfWeight), "LOGFONTA layout");
static_assert(offsetof(FontDescription, lfUnderline) == offsetof(LOGFONTA, lfUnderline), "LOGFONTA layout");
static_assert(offsetof(FontDescription, lfCharSet) == offsetof(LOGFONTA, lfCharSet), "LOGFONTA layout");
static_assert(offsetof(FontDescription, lfPitchAndFamily) == offsetof(LOGFONTA, lfPitchAndFamily),
              "LOGFONTA layout");
static_assert(offsetof(FontDescription, lfFaceName) == offsetof(LOGFONTA, lfFaceName), "LOGFONTA layout");

namespace {

const LPCWSTR HAND_CURSOR = MAKEINTRESOURCEW(32649);   // IDC_HAND

// Posted to the label itself: open link wParam (from 1) as a click on it would.
const UINT WM_OPEN_LINK = WM_USER + 0x40;

bool IsPlacedLink(const MarkupRun &run)
{
    if (run.bIsCode)
        return false;
    for (const LineFragment &fragment : run.fragments) {
        if (fragment.nLink == 1)
            return true;
    }
    return false;
}

// Measures with DrawText on the label's memory DC, in the style the label selects there.
class CLabelMeasurer : public MarkupMeasurer {
public:
    CLabelMeasurer(CMarkupLabel &label, CDC &dc) : m_label(label), m_dc(dc) {}
    void SelectStyle(const TextStyle &style) override { m_label.SelectStyle(m_dc, style); }
    void ReleaseStyle() override { m_label.ReleaseStyle(m_dc); }
    void Measure(const char *pch, int cch, FragmentRect &rc) override
    {
        RECT r = {rc.left, rc.top, rc.left, rc.top};
        if (cch > 0)
            m_dc.DrawText(pch, cch, &r, DT_CALCRECT);
        rc.right = r.right;
        rc.bottom = r.bottom;
    }

private:
    CMarkupLabel &m_label;
    CDC &m_dc;
};

RECT ToRect(const FragmentRect &rc)
{
    RECT r = {rc.left, rc.top, rc.right, rc.bottom};
    return r;
}

} // namespace

BEGIN_MESSAGE_MAP(CMarkupLabel, CStatic)
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
    ON_WM_DESTROY()
    ON_WM_SIZE()
    ON_WM_SETCURSOR()
    ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

CMarkupLabel::CMarkupLabel()
    : CAccessibleProxy::Owner(this), m_bInvalidateOnErase(TRUE), m_bLayoutDirty(TRUE), m_bTextSet(FALSE), m_crDefaultText(0),
      m_crDefaultBack(0), m_pOldFont(nullptr), m_cacheWidth(0), m_cacheHeight(0),
      m_pBackgroundContext(0), m_pfnBackground(nullptr)
{
    ResetContent();
}

CMarkupLabel::~CMarkupLabel()
{
    ResetContent();
}

TextStyle CMarkupLabel::DefaultStyle()
{
    LOGFONTA lf;
    if (!AfxGetGuiLogFont(&lf))
        return TextStyle();
    FontDescription base;
    std::memcpy(&base, &lf, sizeof(base));
    return TextStyle(base);
}

void CMarkupLabel::SetMarkupText(LPCSTR lpszMarkup)
{
    // A copy: the caller's text may be the one the reset empties.
    const CString strMarkup(lpszMarkup);
    if (m_strMarkup == strMarkup) {
        m_bTextSet = TRUE;
        return;
    }
    ResetContent();
    if (m_hWnd && GetWindowTextLength() > 0)
        SetWindowText("");
    m_strMarkup = strMarkup;
    ParseMarkup();
    m_bTextSet = TRUE;
    m_bLayoutDirty = TRUE;
    m_bInvalidateOnErase = FALSE;
    if (m_hWnd)
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CMarkupLabel::ResetContent()
{
    MarkupContent::ResetContent();
    m_bInvalidateOnErase = TRUE;
    m_bTextSet = FALSE;
}

void CMarkupLabel::SelectStyle(CDC &dc, const TextStyle &style)
{
    LOGFONTA lf;
    std::memcpy(&lf, &style.lf, sizeof(lf));
    lf.lfFaceName[sizeof(lf.lfFaceName) - 1] = '\0';
    // Without a font of its own the DC keeps the one it has.
    if (m_font.CreateFontIndirect(&lf))
        m_pOldFont = dc.SelectObject(&m_font);
    dc.SetTextColor(style.bHasTextColor ? style.crText : m_crDefaultText);
    dc.SetBkColor(style.bHasBackColor ? style.crBack : m_crDefaultBack);
}

void CMarkupLabel::ReleaseStyle(CDC &dc)
{
    if (m_pOldFont) {
        dc.SelectObject(m_pOldFont);
        m_pOldFont = nullptr;
    }
    m_font.DeleteObject();
}

void CMarkupLabel::DrawRun(CDC &dc, const MarkupRun &run)
{
    if (m_styles.empty())
        return;
    if (run.bIsCode) {
        ApplyCode(run);
        return;
    }
    const TextStyle style = m_styles.back();
    SelectStyle(dc, style);
    for (const LineFragment &fragment : run.fragments) {
        RECT rc = ToRect(fragment.rc);
        if (style.bHasBackColor)
            dc.FillSolidRect(&rc, style.crBack);
        else
            dc.SetBkMode(TRANSPARENT);
        if (!fragment.strText.IsEmpty())
            dc.DrawText(fragment.strText, fragment.strText.GetLength(), &rc, DT_SINGLELINE | DT_BOTTOM);
        if (style.bLineUnderline) {
            CPen pen(PS_SOLID, 1, dc.GetTextColor());
            HGDIOBJ hOldPen = pen.m_hObject ? dc.SelectObject(&pen) : nullptr;
            dc.MoveTo(rc.left, rc.bottom);
            dc.LineTo(rc.right, rc.bottom);
            if (hOldPen)
                dc.SelectObject(hOldPen);
        }
    }
    ReleaseStyle(dc);
}

void CMarkupLabel::DrawBackground(CDC *pDC, RECT *pRect)
{
    if (m_pfnBackground)
        m_pfnBackground(m_pBackgroundContext, pDC, pRect);
}

void CMarkupLabel::LayoutRuns(CDC &dc, int clientRight)
{
    CLabelMeasurer measurer(*this, dc);
    GbkCharStepper stepper;
    MarkupContent::LayoutRuns(measurer, stepper, clientRight);
}

BOOL CMarkupLabel::OnEraseBkgnd(CDC * /*pDC*/)
{
    // The paint covers the whole client area from the off-screen image.
    if (m_bInvalidateOnErase)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    return TRUE;
}

void CMarkupLabel::OnPaint()
{
    CPaintDC dc(this);
    CRect rcClient;
    GetClientRect(&rcClient);
    const int cx = rcClient.Width();
    const int cy = rcClient.Height();
    CDC dcMem;
    dcMem.CreateCompatibleDC(&dc);
    const TextStyle defaultStyle = DefaultStyle();

    // A label whose markup comes from its dialog template takes it now.
    if (!m_bTextSet) {
        CString strText;
        GetWindowText(strText);
        SetMarkupText(strText);
    }

    // The parent puts its text and background colours into the DC; its brush is not used.
    if (HWND hParent = ::GetParent(m_hWnd))
        ::SendMessageW(hParent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dcMem.m_hDC),
                       reinterpret_cast<LPARAM>(m_hWnd));
    m_bInvalidateOnErase = FALSE;
    m_styles.clear();
    m_styles.push_back(defaultStyle);
    m_crDefaultText = dcMem.GetTextColor();
    m_crDefaultBack = dcMem.GetBkColor();
    dcMem.SetBkMode(TRANSPARENT);

    // Without a cached image of this size there is nothing to copy: rebuild.
    if (!m_bmpCache.m_hObject || m_cacheWidth != cx || m_cacheHeight != cy)
        m_bLayoutDirty = TRUE;

    if (m_bLayoutDirty) {
        CBitmap bmp;
        bmp.CreateCompatibleBitmap(&dc, cx, cy);
        HGDIOBJ hOldBitmap = bmp.m_hObject ? dcMem.SelectObject(&bmp) : nullptr;

        LayoutRuns(dcMem, rcClient.right);
        m_bLayoutDirty = FALSE;
        // The keyboard stops here only while there is a link to open.
        const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_TABSTOP);
        ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, AccLinkCount() ? style | WS_TABSTOP : style);
        m_styles.clear();
        m_styles.push_back(defaultStyle);
        dcMem.FillSolidRect(&rcClient, m_crDefaultBack);
        DrawBackground(&dcMem, &rcClient);
        for (const std::unique_ptr<MarkupRun> &run : m_runs)
            DrawRun(dcMem, *run);

        m_bmpCache.DeleteObject();
        m_cacheWidth = cx;
        m_cacheHeight = cy;
        if (m_bmpCache.CreateCompatibleBitmap(&dc, cx, cy)) {
            CDC dcCache;
            dcCache.CreateCompatibleDC(&dc);
            HGDIOBJ hOldCache = dcCache.SelectObject(&m_bmpCache);
            dcCache.BitBlt(0, 0, cx, cy, &dcMem, 0, 0, SRCCOPY);
            dcCache.SelectObject(hOldCache);
        }
        dc.BitBlt(0, 0, cx, cy, &dcMem, 0, 0, SRCCOPY);
        if (hOldBitmap)
            dcMem.SelectObject(hOldBitmap);
    } else {
        HGDIOBJ hOldBitmap = dcMem.SelectObject(&m_bmpCache);
        dc.BitBlt(0, 0, cx, cy, &dcMem, 0, 0, SRCCOPY);
        dcMem.SelectObject(hOldBitmap);
    }
    m_styles.clear();
    RECT rcLink;
    if (::GetFocus() == m_hWnd && !(SendMessage(WM_QUERYUISTATE) & UISF_HIDEFOCUS) && AccLinkRect(1, &rcLink)) {
        ScreenToClient(&rcLink);
        ::DrawFocusRect(dc.m_hDC, &rcLink);
    }
}

void CMarkupLabel::OnDestroy()
{
    CWnd::OnDestroy();
    ResetContent();
}

void CMarkupLabel::OnSize(UINT /*nType*/, int /*cx*/, int /*cy*/)
{
    Default();
    m_bLayoutDirty = TRUE;
    // The lines break anew for the new width, also when the window only shrank.
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

BOOL CMarkupLabel::OnSetCursor(CWnd *pWnd, UINT nHitTest, UINT /*message*/)
{
    POINT pt = {};
    ::GetCursorPos(&pt);
    ScreenToClient(&pt);
    if (pWnd && pWnd->m_hWnd == m_hWnd && nHitTest == HTCLIENT && LinkFragmentAt(pt.x, pt.y)) {
        ::SetCursor(::LoadCursorW(nullptr, HAND_CURSOR));
        return TRUE;
    }
    return static_cast<BOOL>(Default());
}

void CMarkupLabel::OnLButtonDown(UINT /*nFlags*/, CPoint point)
{
    NotifyLinkAt(point);
    Default();
}

BOOL CMarkupLabel::NotifyLinkAt(CPoint point)
{
    int offset = 0;
    const MarkupRun *pRun = LinkRunAt(point.x, point.y, &offset);
    if (pRun) {
        m_strClickedLink = pRun->strText;
        ENLINK link;
        std::memset(&link, 0, sizeof(link));
        link.nmhdr.hwndFrom = m_hWnd;
        link.nmhdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
        link.nmhdr.code = EN_LINK;
        link.msg = WM_LBUTTONDOWN;
        link.wParam = 1;
        link.lParam = MAKELPARAM(point.x, point.y);
        link.chrg.cpMin = offset;
        link.chrg.cpMax = offset + m_strClickedLink.GetLength();
        const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID()), EN_LINK);
        if (HWND hParent = ::GetParent(m_hWnd))
            ::SendMessageW(hParent, WM_NOTIFY, wParam, reinterpret_cast<LPARAM>(&link));
    }
    return pRun != nullptr;
}

const MarkupRun *CMarkupLabel::LinkRun(int nLink) const
{
    int n = 0;
    for (const std::unique_ptr<MarkupRun> &run : m_runs) {
        if (IsPlacedLink(*run) && ++n == nLink)
            return run.get();
    }
    return nullptr;
}

BOOL CMarkupLabel::OpenLink(int nLink)
{
    const MarkupRun *pRun = LinkRun(nLink);
    if (!pRun)
        return 0;
    for (const LineFragment &fragment : pRun->fragments) {
        if (fragment.nLink == 1)
            return NotifyLinkAt(CPoint(fragment.rc.left, fragment.rc.top));
    }
    return 0;
}

LRESULT CMarkupLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_OPEN_LINK:
        return OpenLink(static_cast<int>(wParam));
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_SPACE)
            return OpenLink(1);
        break;
    case WM_GETDLGCODE: {
        // Enter on the focused link opens it instead of reaching the dialog.
        const MSG *pMsg = reinterpret_cast<const MSG *>(lParam);
        if (pMsg && pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN)
            return CStatic::WindowProc(message, wParam, lParam) | DLGC_WANTMESSAGE;
        break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        // The focus rectangle comes and goes.
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        break;
    default:
        break;
    }
    return CStatic::WindowProc(message, wParam, lParam);
}

long CMarkupLabel::AccRole() const
{
    return ROLE_SYSTEM_STATICTEXT;
}

const char *CMarkupLabel::AccName() const
{
    return m_strPlain;
}

int CMarkupLabel::AccLinkCount() const
{
    int n = 0;
    for (const std::unique_ptr<MarkupRun> &run : m_runs)
        n += IsPlacedLink(*run) ? 1 : 0;
    return n;
}

const char *CMarkupLabel::AccLinkName(int nLink) const
{
    const MarkupRun *pRun = LinkRun(nLink);
    return pRun ? static_cast<const char *>(pRun->strText) : "";
}

BOOL CMarkupLabel::AccLinkRect(int nLink, RECT *prc) const
{
    const MarkupRun *pRun = LinkRun(nLink);
    if (!pRun || !prc)
        return FALSE;
    RECT rcAll = {};
    for (const LineFragment &fragment : pRun->fragments) {
        if (fragment.nLink != 1)
            continue;
        const RECT rc = ToRect(fragment.rc);
        ::UnionRect(&rcAll, &rcAll, &rc);
    }
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT *>(&rcAll), 2);
    *prc = rcAll;
    return TRUE;
}

BOOL CMarkupLabel::AccOpenLink(int nLink)
{
    // Posted: opening the page may take a while, and the client must not wait for it.
    return LinkRun(nLink) && ::IsWindowVisible(m_hWnd) &&
           ::PostMessageW(m_hWnd, WM_OPEN_LINK, static_cast<WPARAM>(nLink), 0);
}
