#include "fw/CDC.h"

#include "fw/TextConversion.h"

namespace {
WideText ToolTextToWide(LPCSTR lpszString, int nCount)
{
    if (!lpszString)
        return ToolToWide(nullptr);
    if (nCount < 0)
        return ToolToWide(lpszString);
    return ToolToWide(lpszString, nCount);
}
} // namespace

CDC::~CDC()
{
    DeleteDC();
}

BOOL CDC::Attach(HDC hDC)
{
    if (!hDC)
        return FALSE;
    DeleteDC();
    m_hDC = hDC;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC h = m_hDC;
    m_hDC = nullptr;
    return h;
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC)
        return FALSE;
    return ::DeleteDC(Detach());
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF crColor)
{
    const COLORREF old = ::SetBkColor(m_hDC, crColor);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, lpRect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF crColor)
{
    RECT rc = {x, y, x + cx, y + cy};
    FillSolidRect(&rc, crColor);
}

void CDC::Draw3dRect(LPCRECT lpRect, COLORREF crTopLeft, COLORREF crBottomRight)
{
    Draw3dRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
               lpRect->bottom - lpRect->top, crTopLeft, crBottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF crTopLeft, COLORREF crBottomRight)
{
    // One-pixel edges: top and left in the first colour, bottom and right in the second.
    FillSolidRect(x, y, cx - 1, 1, crTopLeft);
    FillSolidRect(x, y, 1, cy - 1, crTopLeft);
    FillSolidRect(x + cx - 1, y, 1, cy, crBottomRight);
    FillSolidRect(x, y + cy - 1, cx, 1, crBottomRight);
}

CPoint CDC::MoveTo(int x, int y)
{
    POINT old = {};
    ::MoveToEx(m_hDC, x, y, &old);
    return CPoint(old);
}

int CDC::DrawText(LPCSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat)
{
    const WideText text = ToolTextToWide(lpszString, nCount);
    return ::DrawTextW(m_hDC, text.data(), static_cast<int>(text.size() - 1), lpRect, nFormat);
}

BOOL CDC::TextOut(int x, int y, LPCSTR lpszString, int nCount)
{
    const WideText text = ToolTextToWide(lpszString, nCount);
    return ::TextOutW(m_hDC, x, y, text.data(), static_cast<int>(text.size() - 1));
}

CSize CDC::GetTextExtent(LPCSTR lpszString, int nCount) const
{
    const WideText text = ToolTextToWide(lpszString, nCount);
    SIZE size = {};
    ::GetTextExtentPoint32W(m_hDC, text.data(), static_cast<int>(text.size() - 1), &size);
    return CSize(size);
}
