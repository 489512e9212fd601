#include "tests/scenario/ToolProcess.h"

#include "res/resource.h"

namespace {

const int MSGBOX_TEXT_ID = 0xFFFF;
const DWORD POLL_MS = 10;
const UINT SEND_TIMEOUT_MS = 5000;

std::string ToolPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of('\\') + 1) + "HalvexFix.exe";
}

bool IsDialogClass(HWND hWnd)
{
    char cls[16] = {};
    return GetClassNameA(hWnd, cls, sizeof(cls)) && lstrcmpA(cls, "#32770") == 0;
}

struct TopLevel {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND hWnd, LPARAM lParam)
{
    TopLevel *top = reinterpret_cast<TopLevel *>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == top->pid && IsDialogClass(hWnd))
        top->windows.push_back(hWnd);
    return TRUE;
}

std::vector<HWND> DialogsOf(DWORD pid)
{
    TopLevel top = {pid, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&top));
    return top.windows;
}

// The text of a window of another process, through a message the system carries across.
std::string TextOf(HWND hWnd)
{
    if (!hWnd)
        return std::string();
    char buffer[4096] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &copied))
        return std::string();
    return std::string(buffer, copied < sizeof(buffer) ? copied : sizeof(buffer) - 1);
}

struct StaticSearch {
    std::string text;
};

BOOL CALLBACK FindStaticText(HWND hWnd, LPARAM lParam)
{
    char cls[16] = {};
    GetClassNameA(hWnd, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    std::string text = TextOf(hWnd);
    if (text.empty())
        return TRUE;
    reinterpret_cast<StaticSearch *>(lParam)->text = text;
    return FALSE;
}

std::string MessageBoxText(HWND box)
{
    if (HWND text = GetDlgItem(box, MSGBOX_TEXT_ID))
        return TextOf(text);
    StaticSearch search;
    EnumChildWindows(box, FindStaticText, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

ToolView::Part Describe(HWND hDlg, HWND hWnd)
{
    ToolView::Part part;
    if (!hWnd)
        return part;
    part.bFound = true;
    part.bVisible = IsWindowVisible(hWnd) != FALSE;
    part.bEnabled = IsWindowEnabled(hWnd) != FALSE;
    GetWindowRect(hWnd, &part.rc);
    MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT *>(&part.rc), 2);
    return part;
}

} // namespace

CToolProcess::~CToolProcess()
{
    Stop();
}

bool CToolProcess::Start()
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    std::string cmd = "\"" + ToolPath() + "\"";
    return CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi) != FALSE;
}

void CToolProcess::FindDialog()
{
    if (m_hDlg && IsWindow(m_hDlg))
        return;
    m_hDlg = nullptr;
    for (HWND hWnd : DialogsOf(m_pi.dwProcessId))
        if (GetDlgItem(hWnd, IDC_DOWNLOAD))
            m_hDlg = hWnd;
}

void CToolProcess::AnswerMessageBoxes()
{
    for (HWND box : DialogsOf(m_pi.dwProcessId)) {
        if (GetDlgItem(box, IDC_DOWNLOAD) || !IsWindowVisible(box))
            continue;
        std::string text = MessageBoxText(box);
        if (m_pfnOnBox)
            m_pfnOnBox(text);
        m_boxes.push_back(text);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        // Gone before the next look, so no box is counted twice.
        for (int i = 0; i < 500 && IsWindow(box); ++i)
            Sleep(POLL_MS);
    }
}

ToolView CToolProcess::Look()
{
    ToolView view;
    FindDialog();
    if (!m_hDlg)
        return view;
    view.bDialog = IsWindowVisible(m_hDlg) != FALSE;
    GetClientRect(m_hDlg, &view.rcClient);
    for (HWND h = GetWindow(m_hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (!IsDialogClass(h))
            continue;
        // Each panel is known by a control only it has.
        if (GetDlgItem(h, IDC_ADVICE_TEXT)) {
            view.advice = Describe(m_hDlg, h);
        } else if (HWND list = GetDlgItem(h, IDC_PROBLEM_LIST)) {
            view.problem = Describe(m_hDlg, h);
            view.strProblems = TextOf(list);
        } else if (GetDlgItem(h, IDC_REINSTALL_TEXT)) {
            view.reinstall = Describe(m_hDlg, h);
        } else if (GetDlgItem(h, IDC_RELEASE_TEXT)) {
            view.release = Describe(m_hDlg, h);
        }
    }
    view.download = Describe(m_hDlg, GetDlgItem(m_hDlg, IDC_DOWNLOAD));
    view.safeStart = Describe(m_hDlg, GetDlgItem(m_hDlg, IDC_SAFESTART));
    return view;
}

bool CToolProcess::WaitFor(const std::function<bool(const ToolView &)> &ready, DWORD timeoutMs, ToolView *view)
{
    const DWORD start = GetTickCount();
    for (;;) {
        AnswerMessageBoxes();
        ToolView now = Look();
        if (view)
            *view = now;
        if (ready(now))
            return true;
        if (GetTickCount() - start >= timeoutMs || WaitForSingleObject(m_pi.hProcess, POLL_MS) == WAIT_OBJECT_0)
            return false;
    }
}

void CToolProcess::PostClick(int id)
{
    FindDialog();
    if (m_hDlg)
        PostMessageA(m_hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(m_hDlg, id)));
}

bool CToolProcess::SendClick(int id)
{
    FindDialog();
    DWORD_PTR result = 0;
    return m_hDlg && SendMessageTimeoutA(m_hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(GetDlgItem(m_hDlg, id)), SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS,
                               &result) != 0;
}

void CToolProcess::Post(UINT message, WPARAM wParam, LPARAM lParam)
{
    FindDialog();
    if (m_hDlg)
        PostMessageA(m_hDlg, message, wParam, lParam);
}

bool CToolProcess::WaitForExit(DWORD timeoutMs)
{
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

void CToolProcess::Stop()
{
    if (!m_pi.hProcess)
        return;
    if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
        AnswerMessageBoxes();
        Post(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        if (!WaitForExit(5000)) {
            TerminateProcess(m_pi.hProcess, 1);
            WaitForSingleObject(m_pi.hProcess, 5000);
        }
    }
    CloseHandle(m_pi.hThread);
    CloseHandle(m_pi.hProcess);
    m_pi = PROCESS_INFORMATION{};
    m_hDlg = nullptr;
}
