// GetDC/ReleaseDC of the client area.
#pragma once

#include "fw/CDC.h"

class CWnd;

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd *pWnd);
    ~CClientDC() override;
    

private:
    HWND m_hWnd;
};
