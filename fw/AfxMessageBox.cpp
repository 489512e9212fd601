#include "fw/AfxMessageBox.h"

#include <wchar.h>

#include "fw/TextConversion.h"

LPCWSTR AfxGetAppName()
{
    static wchar_t name[MAX_PATH];
    if (!name[0]) {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH - 1);
        const wchar_t *base = wcsrchr(path, L'\\');
        wcsncpy(name, base ? base + 1 : path, MAX_PATH - 1);
        wchar_t *dot = wcsrchr(name, L'.');
        if (dot)
            *dot = L'\0';
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
    return MessageBoxW(owner, ToolToWide(lpszText).data(), AfxGetAppName(), nType);
}
