#include "tests/scenario/ToolProcess.h"

#include "res/resource.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/TestPaths.h"

namespace {

const DWORD POLL_MS = 10;
const UINT SEND_TIMEOUT_MS = 5000;

bool IsDialogClass(HWND hWnd)
{
    char cls[16] = {};
    return GetClassNameA(hWnd, cls, sizeof(cls)) && lstrcmpA(cls, "#32770") == 0;
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
    return Start(ToolPath());
}

bool CToolProcess::Start(const std::string &exePath)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    std::string cmd = "\"" + exePath + "\"";
    return CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi) != FALSE;
}

void CToolProcess::FindDialog()
{
    if (m_hDlg && IsWindow(m_hDlg))
        return;
    m_hDlg = nullptr;
    for (HWND hWnd : DialogWindowsOf(m_pi.dwProcessId))
        if (GetDlgItem(hWnd, IDC_DOWNLOAD))
            m_hDlg = hWnd;
}

void CToolProcess::AnswerMessageBoxes()
{
    for (HWND box : DialogWindowsOf(m_pi.dwProcessId)) {
        if (GetDlgItem(box, IDC_DOWNLOAD) || !IsWindowVisible(box))
            continue;
        std::string text = MessageBoxText(box);
        if (m_pfnOnBox)
            m_pfnOnBox(text);
        m_boxes.push_back(text);
        AnswerMessageBox(box);
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
            view.strProblems = WindowTextOf(list);
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

HWND FindControl(HWND hDlg, int id)
{
    if (id == 0)
        return hDlg;
    struct Search {
        int id;
        HWND found;
    } search = {id, nullptr};
    EnumChildWindows(
        hDlg,
        [](HWND h, LPARAM l) -> BOOL {
            Search *s = reinterpret_cast<Search *>(l);
            if (GetDlgCtrlID(h) == s->id) {
                s->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}
