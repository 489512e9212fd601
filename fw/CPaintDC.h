// BeginPaint/EndPaint around the object's life.
#pragma once

#include "fw/CDC.h"

class CWnd;

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd *pWnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};
