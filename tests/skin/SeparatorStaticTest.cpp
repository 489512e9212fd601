// The separator line on the main dialog's template: one pixel high after binding, bitmap
// 133 stretched over its width, the fill colour without a bitmap, no redraw for nothing.
#include "markup/CSeparatorStatic.h"

#include "fw/Afx.h"
#include "res/resource.h"
#include "tests/skin/SkinTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CCountingSeparator : public CSeparatorStatic {
public:
    int m_nPaints = 0;

protected:
    afx_msg void OnPaint()
    {
        ++m_nPaints;
        CSeparatorStatic::OnPaint();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCountingSeparator, CSeparatorStatic)
    ON_WM_PAINT()
END_MESSAGE_MAP()

class CSeparatorDlg : public CDialog {
public:
    CSeparatorDlg() : CDialog(IDD_REPAIR_DIALOG) {}
    CCountingSeparator m_stcSeparator;
    RECT m_rcTemplate = {};   // the control as the template made it, in client coordinates
    UINT m_nEarlyBitmap = 0;  // given before binding when set

protected:
    void DoDataExchange(CDataExchange *pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_SEPARATOR, m_stcSeparator);
    }
    BOOL OnInitDialog() override
    {
        HWND hControl = ::GetDlgItem(m_hWnd, IDC_SEPARATOR);
        ::GetWindowRect(hControl, &m_rcTemplate);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT *>(&m_rcTemplate), 2);
        if (m_nEarlyBitmap)
            m_stcSeparator.SetBitmap(m_nEarlyBitmap, TRUE);
        CDialog::OnInitDialog();
        ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
        return TRUE;
    }
};

struct SeparatorFixture : ::testing::Test {
    CSeparatorDlg dlg;
    void Open()
    {
        ASSERT_TRUE(dlg.Create(IDD_REPAIR_DIALOG, nullptr));
        PumpMessages(100);
    }
    void TearDown() override
    {
        if (dlg.m_hWnd)
            dlg.DestroyWindow();
        CWnd::DeleteTempMap();
    }
    RECT Placement()
    {
        RECT rc = {};
        dlg.m_stcSeparator.GetWindowRect(&rc);
        ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<POINT *>(&rc), 2);
        return rc;
    }
};

TEST_F(SeparatorFixture, BindingLeavesOnePixelOfTheSameWidthAndPlace)
{
    Open();
    const RECT rc = Placement();
    EXPECT_GT(dlg.m_rcTemplate.bottom - dlg.m_rcTemplate.top, 1);
    EXPECT_EQ(rc.left, dlg.m_rcTemplate.left);
    EXPECT_EQ(rc.top, dlg.m_rcTemplate.top);
    EXPECT_EQ(rc.right, dlg.m_rcTemplate.right);
    EXPECT_EQ(rc.bottom - rc.top, 1);
}

TEST_F(SeparatorFixture, BitmapIsStretchedOverTheWidthAndFitsTheHeight)
{
    Open();
    CCountingSeparator &sep = dlg.m_stcSeparator;
    const int width = Placement().right - Placement().left;
    ASSERT_GT(width, 340);   // wider than the image: it is stretched

    sep.SetBitmap(IDB_SEPARATOR, TRUE);
    EXPECT_EQ(Placement().bottom - Placement().top, 1);
    EXPECT_EQ(Placement().right - Placement().left, width);
    const Picture line = CaptureSettled(sep.m_hWnd);
    ASSERT_EQ(line.cx, width);
    ASSERT_EQ(line.cy, 1);
    // Each pixel is the image's column at the same relative place (give or take one).
    const Picture image = ExpectedFace(IDB_SEPARATOR, 340, 1);
    ASSERT_EQ(image.cx, 340) << "bitmap 133 not in the resources";
    int mismatches = 0;
    for (int x = 0; x < width; ++x) {
        const int col = x * 340 / width;
        bool found = false;
        for (int c = col - 1; c <= col + 1 && !found; ++c)
            found = c >= 0 && c < 340 && image.At(c, 0) == line.At(x, 0);
        mismatches += !found;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(CountColor(line, RGB(128, 128, 128)), 0) << "background showing";

    // The same bitmap again changes nothing and paints nothing.
    PumpMessages(50);
    const int paints = sep.m_nPaints;
    sep.SetBitmap(IDB_SEPARATOR, TRUE);
    PumpMessages(50);
    EXPECT_EQ(sep.m_nPaints, paints);

    // A bitmap 28 pixels high makes the control that high, in place.
    sep.SetBitmap(IDB_BUTTON_NORMAL, TRUE);
    EXPECT_EQ(Placement().bottom - Placement().top, 28);
    EXPECT_EQ(Placement().top, dlg.m_rcTemplate.top);
    EXPECT_EQ(Placement().right - Placement().left, width);
    EXPECT_GT(sep.m_nPaints, paints);
}

TEST_F(SeparatorFixture, WithoutABitmapTheFillColourShows)
{
    Open();
    CCountingSeparator &sep = dlg.m_stcSeparator;
    const struct {
        const char *name;
        UINT nId;
        COLORREF crFill;
    } cases[] = {{"no bitmap, default fill", 0, RGB(0, 0, 0)},
                 {"no bitmap, red fill", 0, RGB(255, 0, 0)},
                 {"bitmap that does not exist", 9999, RGB(0, 255, 0)}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.crFill)
            sep.m_crFill = c.crFill;
        sep.SetBitmap(c.nId, TRUE);
        sep.RedrawWindow();
        const Picture line = CaptureSettled(sep.m_hWnd);
        ASSERT_GT(line.cx, 0);
        EXPECT_EQ(CountColor(line, c.crFill), line.cx * line.cy);
        EXPECT_EQ(Placement().bottom - Placement().top, 1);
    }
}

TEST_F(SeparatorFixture, BitmapGivenBeforeTheWindowExistsIsUsedAtTheFirstPaint)
{
    dlg.m_nEarlyBitmap = IDB_SEPARATOR;
    Open();
    EXPECT_EQ(dlg.m_stcSeparator.m_nBitmapId, static_cast<UINT>(IDB_SEPARATOR));
    EXPECT_EQ(Placement().bottom - Placement().top, 1);
    const Picture line = CaptureSettled(dlg.m_stcSeparator.m_hWnd);
    ASSERT_GT(line.cx, 0);
    EXPECT_EQ(CountColor(line, RGB(0, 0, 0)), 0) << "painted with the fill, not the bitmap";
}

} // namespace
