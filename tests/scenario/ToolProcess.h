// The real HalvexFix.exe (next to the running test) watched from outside: its main dialog,
// its panels and buttons as the window manager reports them, and its message boxes, which
// are read and answered with OK.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// What the main dialog shows at one moment. Rectangles are in the dialog's client
// coordinates.
struct ToolView {
    bool bDialog = false;          // the main dialog exists and is visible
    RECT rcClient = {};
    struct Part {
        bool bFound = false;
        bool bVisible = false;
        bool bEnabled = false;
        RECT rc = {};
    };
    Part advice, problem, reinstall, release;   // the four panels
    Part download, safeStart;                   // buttons 1001 and 1002
    std::string strProblems;                    // text of the problem list (1000)

    // The checks are over and an outcome is on screen.
    bool Presented() const
    {
        return bDialog && !release.bVisible && (advice.bVisible || reinstall.bVisible);
    }
};

// The window of a control somewhere below the dialog (panels included); the dialog for 0.
HWND FindControl(HWND hDlg, int id);

class CToolProcess {
public:
    CToolProcess() = default;
    ~CToolProcess();
    CToolProcess(const CToolProcess &) = delete;
    CToolProcess &operator=(const CToolProcess &) = delete;

    bool Start();
    // Starts the tool from another path (a copy in a folder of the test's own).
    bool Start(const std::string &exePath);
    HANDLE Process() const { return m_pi.hProcess; }
    HWND Dialog() const { return m_hDlg; }

    // Called with a message box's text while the box is still open, before OK is pressed.
    using BoxHandler = std::function<void(const std::string &)>;
    void OnMessageBox(BoxHandler handler) { m_pfnOnBox = std::move(handler); }
    // Every message box answered so far, in order.
    const std::vector<std::string> &MessageBoxes() const { return m_boxes; }

    // Answers message boxes and looks at the dialog until ready(view) holds, the process
    // ends or timeoutMs pass. The last view is returned through view.
    bool WaitFor(const std::function<bool(const ToolView &)> &ready, DWORD timeoutMs, ToolView *view);
    bool WaitForOutcome(ToolView *view, DWORD timeoutMs = 20000)
    {
        return WaitFor([](const ToolView &v) { return v.Presented(); }, timeoutMs, view);
    }
    ToolView Look();

    // A button press as the dialog receives it: posted (returns at once) or sent (returns
    // once the handler has finished; only for handlers that show no message box).
    void PostClick(int id);
    bool SendClick(int id);

    // Posts a message to the main dialog.
    void Post(UINT message, WPARAM wParam, LPARAM lParam);
    bool WaitForExit(DWORD timeoutMs);
    // Closes the dialog; kills the process if it does not end.
    void Stop();

private:
    void AnswerMessageBoxes();
    void FindDialog();

    PROCESS_INFORMATION m_pi = {};
    HWND m_hDlg = nullptr;
    BoxHandler m_pfnOnBox;
    std::vector<std::string> m_boxes;
};
