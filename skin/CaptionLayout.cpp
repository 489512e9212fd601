#include "skin/CaptionLayout.h"

CaptionRect ComputeCaptionRect(int cxWindow, bool bHasSmallIcon, const CaptionMetrics &m)
{
    CaptionRect rc;
    rc.left = m.cxFrame + 1;
    if (bHasSmallIcon)
        rc.left += m.cxSmIcon + 5;
    rc.top = m.cyDlgFrame;
    rc.right = cxWindow - 3 * m.cxSize - m.cxFrame;
    rc.bottom = rc.top + m.cyCaption;
    return rc;
}
