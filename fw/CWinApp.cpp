#include "fw/CWinApp.h"

#include <commctrl.h>

#include "fw/CWnd.h"

namespace {
CWinApp *g_pApp = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_pMainWnd(nullptr), m_hInstance(nullptr), m_pszAppName(lpszAppName), m_lpCmdLine(nullptr),
      m_nCmdShow(SW_SHOWNORMAL)
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp *AfxGetApp()
{
    return g_pApp;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

BOOL CWinApp::PreTranslateMessage(MSG *pMsg)
{
    return CWnd::WalkPreTranslateTree(m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr, pMsg);
}

int CWinApp::Run()
{
    MSG msg = {};
    for (;;) {
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            CWnd::DeleteTempMap();
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    const int exitCode = ExitInstance();
    return exitCode ? exitCode : static_cast<int>(msg.wParam);
}

void CWinApp::OnHelp()
{
    // The tool ships no help file.
}

int AfxWinMain(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow)
{
    CWinApp *pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);

    int exitCode = 0;
    try {
        if (pApp->InitInstance())
            exitCode = pApp->Run();
    } catch (...) {
        exitCode = -1;
    }
    return exitCode;
}

// The entry point sits next to the application class: the global application object pulls
// this file into the link, entry point included.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, lpCmdLine, nCmdShow);
}
