// The application. The program defines exactly one global object of a class derived from
// CWinApp; the framework's entry point finds it and runs InitInstance, then Run only if
// InitInstance succeeded.
#pragma once

#include "fw/CCmdTarget.h"

class CWnd;

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();
    virtual BOOL PreTranslateMessage(MSG *pMsg);

    // Kept for the start-up code's sake; the platform draws 3-D controls by itself.
    BOOL Enable3dControls() { return TRUE; }
    afx_msg void OnHelp();

    CWnd *m_pMainWnd;
    HINSTANCE m_hInstance;
    LPCSTR m_pszAppName;
    LPSTR m_lpCmdLine;
    int m_nCmdShow;

    DECLARE_MESSAGE_MAP()
};

CWinApp *AfxGetApp();
// Kept for the start-up code's sake: the tool hosts no ActiveX controls.
inline void AfxEnableControlContainer() {}
// The framework's entry point, called by WinMain.
int AfxWinMain(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow);
