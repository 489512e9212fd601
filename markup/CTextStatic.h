// A static control that takes the window text of the dialog control it is bound to and
// blanks the window's own, so the system's static painting never shows it.
#pragma once

#include "fw/CAccessibleProxy.h"
#include "fw/CStatic.h"

class CTextStatic : public CStatic, public CAccessibleProxy::Owner {
public:
    CTextStatic();
    ~CTextStatic() override;

    BOOL m_bTakeOverText;   // take the window text over when bound
    CString m_strText;      // the taken-over window text

    // Derived classes that override it call this one first.
    void PreSubclassWindow() override;

    // Static text named by the taken-over text.
    long AccRole() const override;
    const char *AccName() const override;
};
