#include "markup/CTextStatic.h"

CTextStatic::CTextStatic() : m_bTakeOverText(TRUE) {}

CTextStatic::~CTextStatic() = default;

void CTextStatic::PreSubclassWindow()
{
    CWnd::PreSubclassWindow();
    if (!m_bTakeOverText)
        return;
    GetWindowText(m_strText);
    SetWindowText("");
}
