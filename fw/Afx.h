// The framework in one include.
#pragma once

#include <windows.h>

#include "fw/AfxMessageBox.h"
#include "fw/AfxResource.h"
#include "fw/CBitmap.h"
#include "fw/CBrush.h"
#include "fw/CButton.h"
#include "fw/CClientDC.h"
#include "fw/CCmdTarget.h"
#include "fw/CDC.h"
#include "fw/CDataExchange.h"
#include "fw/CDialog.h"
#include "fw/CFont.h"
#include "fw/CGdiObject.h"
#include "fw/CPaintDC.h"
#include "fw/CPen.h"
#include "fw/CPoint.h"
#include "fw/CRect.h"
#include "fw/CSize.h"
#include "fw/CStatic.h"
#include "fw/CString.h"
#include "fw/CWinApp.h"
#include "fw/CWindowDC.h"
#include "fw/CWnd.h"
