#include "markup/CSeparatorStatic.h"

#include "fw/CPaintDC.h"
#include "skin/CMemoryDC.h"

namespace {
const COLORREF SURFACE_BACKGROUND = RGB(128, 128, 128);
}

BEGIN_MESSAGE_MAP(CSeparatorStatic, CTextStatic)
    ON_WM_PAINT()
END_MESSAGE_MAP()

CSeparatorStatic::CSeparatorStatic() : m_nBitmapId(0), m_crFill(RGB(0, 0, 0)) {}

CSeparatorStatic::~CSeparatorStatic() = default;

void CSeparatorStatic::PreSubclassWindow()
{
    CTextStatic::PreSubclassWindow();
    SetHeight(1);
}

void CSeparatorStatic::SetHeight(int cy)
{
    CRect rc;
    GetWindowRect(&rc);
    SetWindowPos(nullptr, 0, 0, rc.Width(), cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CSeparatorStatic::LoadSeparatorBitmap(CBitmap &bitmap) const
{
    return m_nBitmapId && bitmap.LoadBitmap(LOWORD(m_nBitmapId));
}

void CSeparatorStatic::SetBitmap(UINT nBitmapId, BOOL bApply)
{
    BOOL bChanged = nBitmapId != m_nBitmapId;
    m_nBitmapId = nBitmapId;
    const BOOL bWindow = m_hWnd && ::IsWindow(m_hWnd);
    if (bApply && bWindow) {
        CBitmap bitmap;
        BITMAP bm = {};
        if (LoadSeparatorBitmap(bitmap) && bitmap.GetBitmap(&bm)) {
            CRect rc;
            GetWindowRect(&rc);
            if (rc.Height() != bm.bmHeight) {
                SetHeight(bm.bmHeight);
                bChanged = TRUE;
            }
        }
    }
    if (bChanged && bWindow)
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CSeparatorStatic::OnPaint()
{
    CRect rcClient;
    GetClientRect(&rcClient);
    CPaintDC dc(this);
    CMemoryDC surface(&dc, rcClient, SURFACE_BACKGROUND);
    CBitmap bitmap;
    BITMAP bm = {};
    if (LoadSeparatorBitmap(bitmap) && bitmap.GetBitmap(&bm)) {
        CDC dcSource;
        if (dcSource.CreateCompatibleDC(&dc)) {
            HGDIOBJ hOld = dcSource.SelectObject(&bitmap);
            surface.StretchToRect(rcClient, &dcSource, CRect(0, 0, bm.bmWidth, bm.bmHeight), SRCCOPY);
            dcSource.SelectObject(hOld);
        }
    } else {
        surface.FillSolidRect(&rcClient, m_crFill);
    }
    // The bitmap goes first, then the surface copies itself to the paint context, which
    // ends painting last.
}

long CSeparatorStatic::AccRole() const
{
    return ROLE_SYSTEM_SEPARATOR;
}

const char *CSeparatorStatic::AccName() const
{
    return "";
}
