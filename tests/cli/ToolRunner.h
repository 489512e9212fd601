// HalvexFix.exe (next to the running test) started with arguments, as a deployment system
// starts it: standard output to a file, the exit code collected. While it runs, every window
// its process creates is counted through a WinEvent hook on that process (set before the
// tool's first instruction runs) and by looking at its top-level windows; message boxes are
// read and answered.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ToolRun {
    DWORD nExitCode = STILL_ACTIVE;
    std::string strOutput;               // the bytes written to standard output
    int nWindowsCreated = 0;             // windows created in the tool's process
    std::vector<std::string> boxes;      // texts of the message boxes answered
};

class CToolRunner {
public:
    CToolRunner() = default;
    ~CToolRunner();
    CToolRunner(const CToolRunner &) = delete;
    CToolRunner &operator=(const CToolRunner &) = delete;

    // Starts the tool with the given arguments (appended to its quoted path). With
    // bRedirect its standard output and error go to a file; otherwise it gets no standard
    // handles at all, as when started from a desktop.
    bool Start(const std::string &args, bool bRedirect = true);
    // Watches the tool until it ends or timeoutMs pass; true when it ended.
    bool Wait(DWORD timeoutMs);
    bool Running() const;
    DWORD ProcessId() const { return m_pi.dwProcessId; }
    const ToolRun &Result() const { return m_run; }

    // Start, then Wait; false when it did not end in time (it is killed then).
    static bool Run(const std::string &args, ToolRun *run, DWORD timeoutMs = 120000, bool bRedirect = true);

private:
    static void CALLBACK OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND hWnd, LONG idObject, LONG idChild,
                                    DWORD idThread, DWORD time);
    void Look();

    PROCESS_INFORMATION m_pi = {};
    HWINEVENTHOOK m_hHook = nullptr;
    std::string m_strOutputPath;
    ToolRun m_run;
};
