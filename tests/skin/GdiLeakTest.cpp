// Painting the skin leaks no GDI object. A count cannot show it under Wine (GetGuiResources
// answers 0 there), so the process's GDI table is filled to a few hundred objects short of
// its limit: a paint that leaked even one object would exhaust it within the thousand
// paints below, and then paints would fail and no new object could be made.
#include "markup/CSeparatorStatic.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinCaption.h"

#include "fw/Afx.h"
#include "res/resource.h"
#include "tests/skin/SkinTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const int HEADROOM = 300;
const int PAINTS = 1000;

// The main dialog's template skinned as the tool skins it.
class CSkinnedDlg : public CDialog {
public:
    CSkinnedDlg() : CDialog(IDD_REPAIR_DIALOG) {}
    CSeparatorStatic m_stcSeparator;
    CSkinButton m_btnDownload;
    CSkinButton m_btnSafeStart;
    CSkinCaption m_caption;

protected:
    void DoDataExchange(CDataExchange *pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_SEPARATOR, m_stcSeparator);
        DDX_Control(pDX, IDC_DOWNLOAD, m_btnDownload);
        DDX_Control(pDX, IDC_SAFESTART, m_btnSafeStart);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_caption.SetCaption(" Halvex修复工具 V1.0");
        m_caption.Subclass(m_hWnd);
        m_btnSafeStart.SetBitmaps(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_BUTTON_PRESSED, IDB_BUTTON_DISABLED);
        m_btnDownload.SetBitmaps(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_BUTTON_PRESSED, IDB_BUTTON_DISABLED);
        m_stcSeparator.SetBitmap(IDB_SEPARATOR, TRUE);
        SetIcon(static_cast<HICON>(::LoadImageA(nullptr, MAKEINTRESOURCEA(32512), IMAGE_ICON, 16, 16, LR_SHARED)),
                FALSE);
        ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
        m_btnSafeStart.EnableWindow(FALSE);   // the disabled look too
        return TRUE;
    }
    afx_msg void OnDestroy()
    {
        CDialog::OnDestroy();
        m_caption.Unsubclass();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSkinnedDlg, CDialog)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

RECT ScreenRect(HWND hWnd, bool bClient)
{
    RECT rc = {};
    if (bClient) {
        ::GetClientRect(hWnd, &rc);
        ::MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT *>(&rc), 2);
    } else {
        ::GetWindowRect(hWnd, &rc);
        rc.bottom = rc.top + ::GetSystemMetrics(SM_CYDLGFRAME) + ::GetSystemMetrics(SM_CYCAPTION);
    }
    return rc;
}

// Objects that hold the GDI table nearly full until the test ends.
struct Filler {
    std::vector<HGDIOBJ> objects;
    ~Filler() { Free(); }
    void Free()
    {
        for (HGDIOBJ h : objects)
            ::DeleteObject(h);
        objects.clear();
    }
    // Fills the table to its limit, then frees `headroom` objects again.
    void FillTo(int headroom)
    {
        for (int i = 0; i < 200000; ++i) {
            HBRUSH h = ::CreateSolidBrush(RGB(i & 0xFF, (i >> 8) & 0xFF, 7));
            if (!h)
                break;
            objects.push_back(h);
        }
        for (int i = 0; i < headroom && !objects.empty(); ++i) {
            ::DeleteObject(objects.back());
            objects.pop_back();
        }
    }
};

TEST(GdiLeakTest, AThousandPaintsOfEachSkinnedControlOnANearlyFullGdiTable)
{
    CSkinnedDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_REPAIR_DIALOG, nullptr));
    PumpMessages(200);
    CScreenGrabber grabber;   // made before the table fills: captures create nothing

    struct Subject {
        const char *name;
        HWND hWnd;
        bool bClient;
        UINT flags;
        Picture first;
    } subjects[] = {
        {"download button", dlg.m_btnDownload.m_hWnd, true, RDW_INVALIDATE | RDW_UPDATENOW, {}},
        {"disabled safe-start button", dlg.m_btnSafeStart.m_hWnd, true, RDW_INVALIDATE | RDW_UPDATENOW, {}},
        {"separator", dlg.m_stcSeparator.m_hWnd, true, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW, {}},
        {"caption", dlg.m_hWnd, false, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW, {}},
    };
    for (Subject &s : subjects) {
        ::RedrawWindow(s.hWnd, nullptr, nullptr, s.flags);
        PumpMessages(150);
        s.first = grabber.Grab(ScreenRect(s.hWnd, s.bClient));
        ASSERT_GT(s.first.cx, 0) << s.name;
    }

    Filler filler;
    filler.FillTo(HEADROOM);
    ASSERT_GT(filler.objects.size(), 5000u) << "the GDI table did not fill";
    std::printf("GDI table filled with %zu objects, %d left free\n", filler.objects.size(), HEADROOM);

    for (Subject &s : subjects) {
        SCOPED_TRACE(s.name);
        for (int i = 0; i < PAINTS; ++i)
            ::RedrawWindow(s.hWnd, nullptr, nullptr, s.flags);
        PumpMessages(150);
        HBRUSH hProbe = ::CreateSolidBrush(RGB(1, 2, 3));
        EXPECT_TRUE(hProbe) << "the GDI table ran full while painting";
        if (hProbe)
            ::DeleteObject(hProbe);
        const Picture last = grabber.Grab(ScreenRect(s.hWnd, s.bClient));
        if (last != s.first) {
            ADD_FAILURE() << "the last paint differs from the first: see "
                          << s.first.Save(std::string("skin-leak-first-") + s.name + ".ppm") << " and "
                          << last.Save(std::string("skin-leak-last-") + s.name + ".ppm");
        }
    }
    filler.Free();
    dlg.DestroyWindow();
}

} // namespace
