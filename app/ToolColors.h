// The colours the tool paints with, and the brushes its colour handlers answer with.
#pragma once

#include "fw/Afx.h"

// The background of the whole tool: the main dialog, every panel, the link label's parent
// and the spinner.
const COLORREF BACKGROUND_COLOR = RGB(235, 248, 255);

// Answers a colour request with a solid colour: sets it as the text background and returns a
// brush of it. Each colour's brush is created on first use and kept until the process ends.
HBRUSH SolidCtlColor(CDC *pDC, COLORREF crColor);

// The control id of the window a colour request is about; 0 for the dialog itself.
int CtlColorId(const CWnd *pDlg, CWnd *pWnd);
