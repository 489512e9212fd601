// A placeholder static turned into a horizontal line drawn from a bitmap resource: the
// bitmap is stretched over the control's width and the control takes the bitmap's height.
#pragma once

#include "fw/CBitmap.h"
#include "markup/CTextStatic.h"

class CSeparatorStatic : public CTextStatic {
public:
    CSeparatorStatic();
    ~CSeparatorStatic() override;

    UINT m_nBitmapId;     // bitmap resource (low 16 bits); 0 = none
    COLORREF m_crFill;    // paints the control when there is no bitmap

    // Remembers the bitmap; with bApply and a window, fits the height to the bitmap's.
    // Redraws when anything changed.
    void SetBitmap(UINT nBitmapId, BOOL bApply);

    // A separator line has no name.
    long AccRole() const override;
    const char *AccName() const override;

protected:
    void PreSubclassWindow() override;
    afx_msg void OnPaint();

    DECLARE_MESSAGE_MAP()

private:
    BOOL LoadSeparatorBitmap(CBitmap &bitmap) const;
    void SetHeight(int cy);
};
