#include "app/RepairApp.h"

#include "cli/CommandLine.h"
#include "app/RepairDlg.h"
#include "app/RunLock.h"
#include "cli/RunReport.h"
#include "app/RunningWindow.h"
#include "fw/TextConversion.h"
#include "cli/UnattendedRun.h"

CRepairApp theApp;

namespace {

const char ANOTHER_RUN_TEXT[] = "Halvex修复工具正在运行，请稍后再试。";

// How long a second start looks for the window of the first, which exists only once the
// first has begun its checks.
const DWORD RAISE_TIMEOUT_MS = 3000;

} // namespace

BEGIN_MESSAGE_MAP(CRepairApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CRepairApp::CRepairApp() : CWinApp(nullptr), m_nExitCode(0) {}

BOOL CRepairApp::InitInstance()
{
    // The wide command line keeps every character of a report path.
    const CommandLine cmd = ParseCommandLine(WideToMultiByte(::GetCommandLineW(), -1, CP_UTF8));
    if (!cmd.Interactive()) {
        m_nExitCode = RunFromCommandLine(cmd);
        return TRUE;
    }

    // One run at a time: a second start shows the first one's window instead. A lock
    // name taken by something else must not keep the user from the repair.
    CRunLock lock;
    if (lock.Acquire() == RUNLOCK_BUSY) {
        if (!RaiseRunningWindow(RAISE_TIMEOUT_MS))
            AfxMessageBox(ANOTHER_RUN_TEXT, MB_OK | MB_ICONINFORMATION);
        m_nExitCode = EXIT_ALREADY_RUNNING;
        return TRUE;
    }

    AfxEnableControlContainer();
    Enable3dControls();
    {
        CRepairDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
    }
    // The dialog object is gone; nothing may reach it through the application any more.
    m_pMainWnd = nullptr;
    // No message loop of our own: the program ends with the dialog.
    return FALSE;
}

int CRepairApp::Run()
{
    return m_nExitCode;
}
