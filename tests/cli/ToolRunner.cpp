#include "tests/cli/ToolRunner.h"

#include "res/resource.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Utf8Paths.h"

#include <cstdio>
#include <map>

namespace {

// Windows created, by hook (the callback gets only the hook).
std::map<HWINEVENTHOOK, int> &Created()
{
    static std::map<HWINEVENTHOOK, int> created;
    return created;
}

void Pump(DWORD ms)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

struct Windows {
    DWORD processId;
    int count;
};

BOOL CALLBACK CountWindows(HWND hWnd, LPARAM lParam)
{
    Windows *w = reinterpret_cast<Windows *>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == w->processId)
        ++w->count;
    return TRUE;
}

} // namespace

CToolRunner::~CToolRunner()
{
    if (m_pi.hProcess) {
        if (Running()) {
            TerminateProcess(m_pi.hProcess, 1);
            WaitForSingleObject(m_pi.hProcess, 10000);
        }
        CloseHandle(m_pi.hProcess);
        CloseHandle(m_pi.hThread);
    }
    if (m_hHook) {
        UnhookWinEvent(m_hHook);
        Created().erase(m_hHook);
    }
    if (!m_strOutputPath.empty())
        DeleteFileA(m_strOutputPath.c_str());
}

void CALLBACK CToolRunner::OnWinEvent(HWINEVENTHOOK hook, DWORD, HWND hWnd, LONG idObject, LONG, DWORD, DWORD)
{
    if (idObject == OBJID_WINDOW && hWnd)
        ++Created()[hook];
}

bool CToolRunner::Start(const std::string &args, bool bRedirect)
{
    static LONG s_nSerial = 0;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    HANDLE out = nullptr;
    HANDLE in = nullptr;
    if (bRedirect) {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        m_strOutputPath = std::string(temp) + "hx-cli-out-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(InterlockedIncrement(&s_nSerial)) + ".txt";
        out = CreateFileA(m_strOutputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                          CREATE_ALWAYS, 0, nullptr);
        in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                         nullptr);
        if (out == INVALID_HANDLE_VALUE || in == INVALID_HANDLE_VALUE)
            return false;
        si.hStdInput = in;
        si.hStdOutput = out;
        si.hStdError = out;
    }
    // Arguments are UTF-8: paths reach the tool whole on any code page.
    std::wstring cmd = WidePath("\"" + ToolPath() + "\"" + (args.empty() ? "" : " " + args));
    const BOOL started = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, bRedirect, CREATE_SUSPENDED, nullptr,
                                        nullptr, &si, &m_pi);
    if (out)
        CloseHandle(out);
    if (in)
        CloseHandle(in);
    if (!started) {
        std::fprintf(stderr, "the tool did not start: error %lu\n", GetLastError());
        return false;
    }
    // Watching begins before the tool runs any code of its own.
    m_hHook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, OnWinEvent, m_pi.dwProcessId, 0,
                              WINEVENT_OUTOFCONTEXT);
    if (m_hHook)
        Created()[m_hHook] = 0;
    else
        std::fprintf(stderr, "no window-creation hook on the tool: error %lu\n", GetLastError());
    ResumeThread(m_pi.hThread);
    return m_hHook != nullptr;
}

bool CToolRunner::Running() const
{
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

void CToolRunner::Look()
{
    Windows w = {m_pi.dwProcessId, 0};
    EnumWindows(CountWindows, reinterpret_cast<LPARAM>(&w));
    // Windows seen from outside count even if the hook missed their creation.
    if (w.count > m_run.nWindowsCreated)
        m_run.nWindowsCreated = w.count;
    for (HWND box : DialogWindowsOf(m_pi.dwProcessId)) {
        // The main dialog (it has the download button) is no message box.
        if (!IsWindowVisible(box) || GetDlgItem(box, IDC_DOWNLOAD))
            continue;
        m_run.boxes.push_back(MessageBoxText(box));
        AnswerMessageBox(box);
        for (int i = 0; i < 500 && IsWindow(box); ++i)
            Sleep(10);
    }
}

bool CToolRunner::Wait(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (Running() && GetTickCount() - start < timeoutMs) {
        Look();
        Pump(20);
    }
    const bool ended = !Running();
    // Events of the last moments arrive after the process has gone.
    Pump(200);
    if (m_hHook && Created()[m_hHook] > m_run.nWindowsCreated)
        m_run.nWindowsCreated = Created()[m_hHook];
    if (ended)
        GetExitCodeProcess(m_pi.hProcess, &m_run.nExitCode);
    if (!m_strOutputPath.empty()) {
        HANDLE file = CreateFileA(m_strOutputPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char buffer[4096];
            DWORD got = 0;
            m_run.strOutput.clear();
            while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
                m_run.strOutput.append(buffer, got);
            CloseHandle(file);
        }
    }
    return ended;
}

bool CToolRunner::Run(const std::string &args, ToolRun *run, DWORD timeoutMs, bool bRedirect)
{
    CToolRunner runner;
    if (!runner.Start(args, bRedirect))
        return false;
    const bool ended = runner.Wait(timeoutMs);
    *run = runner.Result();
    return ended;
}
