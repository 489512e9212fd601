#include "markup/CTextStatic.h"

#include <oleacc.h>

CTextStatic::CTextStatic() : CAccessibleProxy::Owner(this), m_bTakeOverText(TRUE) {}

CTextStatic::~CTextStatic() = default;

void CTextStatic::PreSubclassWindow()
{
    CWnd::PreSubclassWindow();
    if (!m_bTakeOverText)
        return;
    GetWindowText(m_strText);
    SetWindowText("");
}

long CTextStatic::AccRole() const
{
    return ROLE_SYSTEM_STATICTEXT;
}

const char *CTextStatic::AccName() const
{
    return m_strText;
}
