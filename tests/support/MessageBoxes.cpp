#include "tests/support/MessageBoxes.h"

namespace {

const int MSGBOX_TEXT_ID = 0xFFFF;
const UINT SEND_TIMEOUT_MS = 5000;

struct TopLevel {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectDialogs(HWND hWnd, LPARAM lParam)
{
    TopLevel *top = reinterpret_cast<TopLevel *>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    char cls[16] = {};
    if (pid == top->processId && GetClassNameA(hWnd, cls, sizeof(cls)) && lstrcmpA(cls, "#32770") == 0)
        top->windows.push_back(hWnd);
    return TRUE;
}

BOOL CALLBACK FindStaticText(HWND hWnd, LPARAM lParam)
{
    char cls[16] = {};
    GetClassNameA(hWnd, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    std::string text = WindowTextOf(hWnd);
    if (text.empty())
        return TRUE;
    *reinterpret_cast<std::string *>(lParam) = text;
    return FALSE;
}

} // namespace

std::vector<HWND> DialogWindowsOf(DWORD processId)
{
    TopLevel top = {processId, {}};
    EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&top));
    return top.windows;
}

std::string WindowTextOf(HWND hWnd)
{
    if (!hWnd)
        return std::string();
    wchar_t buffer[4096] = {};
    const DWORD_PTR capacity = sizeof(buffer) / sizeof(buffer[0]);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hWnd, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &copied))
        return std::string();
    const int length = static_cast<int>(copied < capacity ? copied : capacity - 1);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length) * 3, '\0');
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer, length, &text[0], static_cast<int>(text.size()),
                                          nullptr, nullptr);
    text.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    return text;
}

std::string MessageBoxText(HWND box)
{
    if (HWND text = GetDlgItem(box, MSGBOX_TEXT_ID))
        return WindowTextOf(text);
    std::string text;
    EnumChildWindows(box, FindStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

void AnswerMessageBox(HWND box)
{
    const int button = GetDlgItem(box, IDOK) ? IDOK : IDCANCEL;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}
