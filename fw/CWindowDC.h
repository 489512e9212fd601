// GetWindowDC/ReleaseDC of the whole window, frame included.
#pragma once

#include "fw/CDC.h"

class CWnd;

class CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd *pWnd);
    ~CWindowDC() override;
    

private:
    HWND m_hWnd;
};
