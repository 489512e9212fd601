// Message boxes owned by the application's main window, captioned with its name.
#pragma once

#include <windows.h>

// lpszText is a text of the tool's (GBK).
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// The caption of the application's message boxes: the program's file name without its
// extension, as no application name is given. UTF-16, so any file name shows whole.
LPCWSTR AfxGetAppName();
