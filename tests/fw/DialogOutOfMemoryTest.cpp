// Out of memory while a dialog is created: the allocation that fails is each one in turn of
// a creation (the object's take-over of the window, the binding of a control, the dialog's
// own initialisation). The creation must fail, leave no window behind, and the process go on.
#include "fw/Afx.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

// The replaced allocation functions below pair malloc with free; the compiler takes the
// built-in ones it sees inlined for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

// Allocations counted while armed; the one numbered g_nFailAt fails.
bool g_bArmed = false;
long g_nCount = 0;
long g_nFailAt = 0;

void *Allocate(std::size_t size, bool nothrow)
{
    if (g_bArmed && ++g_nCount == g_nFailAt) {
        if (nothrow)
            return nullptr;
        throw std::bad_alloc();
    }
    void *p = std::malloc(size ? size : 1);
    if (!p && !nothrow)
        throw std::bad_alloc();
    return p;
}

} // namespace

void *operator new(std::size_t size) { return Allocate(size, false); }
void *operator new[](std::size_t size) { return Allocate(size, false); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return Allocate(size, true); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return Allocate(size, true); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }

namespace {

class CBoundDlg : public CDialog {
public:
    CBoundDlg() : CDialog(IDD_REPAIR_DIALOG) {}
    CButton m_btn;
    CString m_strTitle;
    bool m_bEndAtOnce = false;   // a modal run ends as soon as it starts

protected:
    void DoDataExchange(CDataExchange *pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_DOWNLOAD, m_btn);
    }
    BOOL OnInitDialog() override
    {
        // First, so that a dialog shown after a failed initialisation ends too.
        if (m_bEndAtOnce)
            PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        CDialog::OnInitDialog();
        m_strTitle = "a text the dialog keeps";
        return TRUE;
    }
};

// Windows of this thread still there.
int ThreadWindows()
{
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND, LPARAM lParam) -> BOOL {
            ++*reinterpret_cast<int *>(lParam);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// Runs one creation with allocation number failAt failing (0: none); returns how many
// allocations it made.
template <class Create> long RunFailing(long failAt, Create create)
{
    g_nCount = 0;
    g_nFailAt = failAt;
    g_bArmed = true;
    create();
    g_bArmed = false;
    return g_nCount;
}

} // namespace

TEST(DialogOutOfMemory, EachFailedAllocationFailsTheCreation)
{
    {
        // The per-thread window maps exist from here on, as in a running program.
        CBoundDlg warm;
        ASSERT_TRUE(warm.Create(IDD_REPAIR_DIALOG, nullptr));
        warm.DestroyWindow();
    }
    long total = 0;
    {
        CBoundDlg dlg;
        BOOL created = FALSE;
        total = RunFailing(0, [&] { created = dlg.Create(IDD_REPAIR_DIALOG, nullptr); });
        ASSERT_TRUE(created);
        dlg.DestroyWindow();
    }
    ASSERT_GE(total, 3) << "the take-over, the control's binding and the dialog's own text allocate";
    ASSERT_EQ(ThreadWindows(), 0);

    for (long n = 1; n <= total; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total) + " fails");
        CBoundDlg dlg;
        BOOL created = TRUE;
        RunFailing(n, [&] { created = dlg.Create(IDD_REPAIR_DIALOG, nullptr); });
        EXPECT_FALSE(created);
        EXPECT_EQ(dlg.m_hWnd, nullptr);
        EXPECT_EQ(dlg.m_btn.m_hWnd, nullptr);
        EXPECT_EQ(ThreadWindows(), 0);
    }

    // A modal run fails the same way, and ends at once without its loop.
    for (long n = 1; n <= total; ++n) {
        SCOPED_TRACE("modal, allocation " + std::to_string(n) + " fails");
        CBoundDlg dlg;
        dlg.m_bEndAtOnce = true;
        INT_PTR result = 0;
        RunFailing(n, [&] { result = dlg.DoModal(); });
        EXPECT_EQ(result, -1);
        EXPECT_EQ(ThreadWindows(), 0);
    }

    // Memory back, creation works again.
    CBoundDlg dlg;
    dlg.m_bEndAtOnce = true;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}
