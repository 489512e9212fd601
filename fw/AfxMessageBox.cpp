#include "fw/AfxMessageBox.h"

#include <string.h>

LPCSTR AfxGetAppName()
{
    static char name[MAX_PATH];
    if (!name[0]) {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
        const char *base = strrchr(path, '\\');
        lstrcpynA(name, base ? base + 1 : path, MAX_PATH);
        char *dot = strrchr(name, '.');
        if (dot)
            *dot = '\0';
    }
    return name;
}

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT /*nIDHelp*/)
{
    // Owned by the thread's active window when there is one, so the box stays on top of it
    // and the window is disabled while the box is up.
    HWND owner = GetActiveWindow();
    if (owner)
        owner = GetLastActivePopup(owner);
    return MessageBoxA(owner, lpszText ? lpszText : "", AfxGetAppName(), nType);
}
