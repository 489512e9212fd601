// Dialogs on a real template: the take-over at WM_INITDIALOG, control binding, the modal loop.
#include "fw/Afx.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_events;
const UINT MSG_PING = WM_APP + 7;

class CRecordingButton : public CButton {
public:
    HWND m_hWndAtPreSubclass = nullptr;

protected:
    void PreSubclassWindow() override
    {
        m_hWndAtPreSubclass = m_hWnd;
        g_events.push_back("presubclass");
        CButton::PreSubclassWindow();
    }
    afx_msg LRESULT OnPing(WPARAM, LPARAM)
    {
        g_events.push_back("button:ping");
        return 7;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRecordingButton, CButton)
    ON_MESSAGE(MSG_PING, OnPing)
END_MESSAGE_MAP()

class CTestDlg : public CDialog {
public:
    CTestDlg() : CDialog(IDD_REPAIR_DIALOG) {}
    CRecordingButton m_btn;
    UINT m_nPostMessage = 0;   // posted to the dialog from OnInitDialog when set
    WPARAM m_wPostParam = 0;

protected:
    void DoDataExchange(CDataExchange *pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_DOWNLOAD, m_btn);
    }
    BOOL OnInitDialog() override
    {
        g_events.push_back("init");
        CDialog::OnInitDialog();
        if (m_btn.m_hWnd == ::GetDlgItem(m_hWnd, IDC_DOWNLOAD))
            g_events.push_back("init:bound");
        if (m_nPostMessage)
            PostMessage(m_nPostMessage, m_wPostParam, 0);
        return TRUE;
    }
};

TEST(DialogTest, InitDialogBindsControlsThroughPreSubclassWindow)
{
    g_events.clear();
    CTestDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_REPAIR_DIALOG, nullptr));
    EXPECT_EQ(g_events, (std::vector<std::string>{"init", "presubclass", "init:bound"}));
    HWND hButton = ::GetDlgItem(dlg.m_hWnd, IDC_DOWNLOAD);
    EXPECT_EQ(dlg.m_btn.m_hWndAtPreSubclass, hButton);
    EXPECT_EQ(CWnd::FromHandlePermanent(hButton), &dlg.m_btn);
    EXPECT_EQ(CWnd::FromHandlePermanent(dlg.m_hWnd), &dlg);

    // The control's messages now reach its object; a second exchange leaves it bound once.
    EXPECT_EQ(::SendMessageA(hButton, MSG_PING, 0, 0), 7);
    dlg.UpdateData(TRUE);
    EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "presubclass"), 1);

    HWND hDlg = dlg.m_hWnd;
    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_EQ(CWnd::FromHandlePermanent(hDlg), nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hButton), nullptr);
    EXPECT_EQ(dlg.m_btn.m_hWnd, nullptr);
}

TEST(DialogTest, ModalLoopEndsOnOkCancelEscAndClose)
{
    struct Case {
        const char *name;
        UINT message;
        WPARAM wParam;
        INT_PTR result;
    } cases[] = {
        {"cancel command", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), IDCANCEL},
        {"ok command", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), IDOK},
        {"escape key", WM_KEYDOWN, VK_ESCAPE, IDCANCEL},
        {"close box", WM_CLOSE, 0, IDCANCEL},
    };
    for (const Case &c : cases) {
        CTestDlg dlg;
        dlg.m_nPostMessage = c.message;
        dlg.m_wPostParam = c.wParam;
        EXPECT_EQ(dlg.DoModal(), c.result) << c.name;
        EXPECT_EQ(dlg.m_hWnd, nullptr) << c.name;
    }
}

} // namespace
