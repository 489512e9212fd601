#include "tests/support/MessageBoxWatcher.h"

#include <process.h>

#include <algorithm>

namespace {

const int MSGBOX_TEXT_ID = 0xFFFF;

struct FindBoxes {
    DWORD processId;
    std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBox(HWND hwnd, LPARAM param)
{
    FindBoxes *find = reinterpret_cast<FindBoxes *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[16] = {};
    if (pid == find->processId && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof(cls)) &&
        lstrcmpA(cls, "#32770") == 0)
        find->boxes.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK FindStaticText(HWND hwnd, LPARAM param)
{
    std::string *text = reinterpret_cast<std::string *>(param);
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    char buf[1024] = {};
    if (GetWindowTextA(hwnd, buf, sizeof(buf)) > 0) {
        *text = buf;
        return FALSE;
    }
    return TRUE;
}

std::string BoxText(HWND box)
{
    char buf[1024] = {};
    if (GetDlgItemTextA(box, MSGBOX_TEXT_ID, buf, sizeof(buf)) > 0)
        return buf;
    std::string text;
    EnumChildWindows(box, FindStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

} // namespace

CMessageBoxWatcher::CMessageBoxWatcher() : m_hThread(nullptr), m_hStop(nullptr) {}

CMessageBoxWatcher::~CMessageBoxWatcher()
{
    Stop();
}

void CMessageBoxWatcher::Start()
{
    Stop();
    m_texts.clear();
    m_closed.clear();
    m_hStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, this, 0, nullptr));
}

std::vector<std::string> CMessageBoxWatcher::Stop()
{
    if (m_hThread) {
        SetEvent(m_hStop);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    if (m_hStop) {
        CloseHandle(m_hStop);
        m_hStop = nullptr;
    }
    return m_texts;
}

unsigned __stdcall CMessageBoxWatcher::ThreadMain(void *param)
{
    CMessageBoxWatcher *self = static_cast<CMessageBoxWatcher *>(param);
    while (WaitForSingleObject(self->m_hStop, 20) == WAIT_TIMEOUT)
        self->Poll();
    return 0;
}

void CMessageBoxWatcher::Poll()
{
    FindBoxes find;
    find.processId = GetCurrentProcessId();
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&find));
    for (HWND box : find.boxes) {
        // A closed box may still be listed until its owner's loop has run.
        if (std::find(m_closed.begin(), m_closed.end(), box) != m_closed.end())
            continue;
        m_texts.push_back(BoxText(box));
        m_closed.push_back(box);
        int button = GetDlgItem(box, IDOK) ? IDOK : IDCANCEL;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    }
}
