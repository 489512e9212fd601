// A static control. Owner-drawn statics (SS_OWNERDRAW) draw themselves in DrawItem, which
// the parent's WM_DRAWITEM reaches through reflection.
#pragma once

#include "fw/CWnd.h"

class CStatic : public CWnd {
public:
    HBITMAP SetBitmap(HBITMAP hBitmap)
    {
        return reinterpret_cast<HBITMAP>(
            SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hBitmap)));
    }
    HICON SetIcon(HICON hIcon)
    {
        return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(hIcon), 0));
    }
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *pResult) override;
};
