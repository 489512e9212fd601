#include "app/RepairApp.h"

#include "app/RepairDlg.h"

CRepairApp theApp;

BEGIN_MESSAGE_MAP(CRepairApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CRepairApp::CRepairApp() : CWinApp(nullptr) {}

BOOL CRepairApp::InitInstance()
{
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
