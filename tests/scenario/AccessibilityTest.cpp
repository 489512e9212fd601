// The real tool read as a screen reader reads it: its accessible objects are fetched from
// this process through AccessibleObjectFromWindow, in each outcome, and their default
// actions are called; the pages they open reach a fake browser.
#include "tests/release/HolderProcess.h"
#include "tests/scenario/ToolMachineTest.h"
#include "tests/scenario/ToolProcess.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileTree.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/TestPaths.h"

#include "BuildConfig.h"
#include "res/resource.h"

#include <windows.h>

#include <oleacc.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Spelled out: the import library's symbol can resolve to a code thunk.
const IID ACCESSIBLE_IID = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};


const char FORUM_URL[] = "http://" HALVEX_WEB_DOMAIN "/bbs/jump/halvex.html";
const char DOWNLOAD_URL[] = "http://" HALVEX_WEB_DOMAIN "/halvex/download.shtml";

const char TITLE[] = u8"Halvex修复工具 V1.0";
const char DOWNLOAD[] = u8"下载Halvex";
const char SAFE_START[] = u8"安全启动Halvex";
const char PRESS[] = u8"按";
const char JUMP[] = u8"跳转";
const char FORUM_TEXT[] = u8"如果您的Halvex仍无法正常使用，请到点这里到论坛查看帮助和反馈。";
const char FORUM_LINK[] = u8"点这里";
const char SPINNER[] = u8"正在修复，请稍候";
const char LINE_HIJACK_NOT_REPAIRED[] = u8"  Halvex.exe 被映像劫持（未修复）\r\n";

const long HIDDEN = STATE_SYSTEM_INVISIBLE;
const long DISABLED = STATE_SYSTEM_UNAVAILABLE;
const long ANY_ROLE = -1;
const char *const NO_CHECK = reinterpret_cast<const char *>(1);

std::string Utf8(BSTR text)
{
    if (!text)
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &s[0], n, nullptr, nullptr);
    return s;
}

class CAccRef {
public:
    explicit CAccRef(HWND hWnd, LONG objectId = OBJID_CLIENT)
    {
        if (hWnd)
            AccessibleObjectFromWindow(hWnd, static_cast<DWORD>(objectId), ACCESSIBLE_IID,
                                       reinterpret_cast<void **>(&m_p));
    }
    ~CAccRef()
    {
        if (m_p)
            m_p->Release();
    }
    CAccRef(const CAccRef &) = delete;
    CAccRef &operator=(const CAccRef &) = delete;
    IAccessible *operator->() const { return m_p; }
    IAccessible *get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    IAccessible *m_p = nullptr;
};

VARIANT Child(long id)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// What a screen reader hears of one element.
struct Heard {
    long role = 0;
    long state = 0;
    std::string name;
    std::string value;
    std::string action;
};

Heard Hear(IAccessible *pAcc, long child)
{
    Heard h;
    VARIANT v;
    VariantInit(&v);
    if (SUCCEEDED(pAcc->get_accRole(Child(child), &v)) && v.vt == VT_I4)
        h.role = v.lVal;
    VariantClear(&v);
    if (SUCCEEDED(pAcc->get_accState(Child(child), &v)) && v.vt == VT_I4)
        h.state = v.lVal;
    VariantClear(&v);
    BSTR b = nullptr;
    if (SUCCEEDED(pAcc->get_accName(Child(child), &b)))
        h.name = Utf8(b);
    SysFreeString(b);
    b = nullptr;
    if (SUCCEEDED(pAcc->get_accValue(Child(child), &b)))
        h.value = Utf8(b);
    SysFreeString(b);
    b = nullptr;
    if (SUCCEEDED(pAcc->get_accDefaultAction(Child(child), &b)))
        h.action = Utf8(b);
    SysFreeString(b);
    return h;
}

enum class Outcome { Clean, Problems, Reinstall, Releasing };

const Machine CLEAN = {Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"};
const Machine PROBLEMS = {Location::ProductKey, Hijack::Undeletable, "maker-100001.exe", "maker-100000.exe"};
const Machine REINSTALL = {Location::ProductKey, Hijack::None, "unsigned.exe", "unsigned.exe"};

class AccessibilityTest : public CToolMachineTest {
protected:
    AccessibilityTest() : CToolMachineTest("hx access") {}

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        CToolMachineTest::SetUp();
        if (HasFatalFailure())
            return;
        RegisterFakeBrowser();
    }
    void TearDown() override
    {
        m_filler.reset();
        CToolMachineTest::TearDown();
        CoUninitialize();
    }

    // Starts the tool on a machine prepared for the outcome and waits until it shows it.
    void StartIn(Outcome outcome, CToolProcess &tool)
    {
        DeleteFileA(m_browserLog.c_str());
        DeleteFileA(m_productLog.c_str());
        const Machine &m = outcome == Outcome::Problems    ? PROBLEMS
                           : outcome == Outcome::Reinstall ? REINSTALL
                                                           : CLEAN;
        ASSERT_TRUE(m_machine->Prepare(m));
        if (outcome == Outcome::Releasing) {
            // A long walk keeps the release panel up while it is read.
            const std::string file = m_base + "\\filler.dat";
            HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            CloseHandle(h);
            m_filler.reset(new HolderProcess);
            ASSERT_TRUE(m_filler->Start({}, file, 15000));
            m_holder.reset(new HolderProcess);
            ASSERT_TRUE(m_holder->Start({m_machine->ExePath()}));
        }
        ASSERT_TRUE(tool.Start());
        ToolView view;
        if (outcome == Outcome::Releasing)
            ASSERT_TRUE(tool.WaitFor([](const ToolView &v) { return v.bDialog && v.release.bVisible; }, 20000,
                                     &view));
        else
            ASSERT_TRUE(tool.WaitForOutcome(&view));
    }

    std::unique_ptr<HolderProcess> m_filler;
    std::unique_ptr<HolderProcess> m_holder;
};

TEST_F(AccessibilityTest, TheWindowObjectCarriesThePaintedTitleToo)
{
    // What a reader announces for the window in front is its window object; the window
    // text stays empty, as the caption is painted.
    CToolProcess tool;
    StartIn(Outcome::Clean, tool);
    if (HasFatalFailure())
        return;
    EXPECT_EQ(GetWindowTextLengthW(tool.Dialog()), 0);
    CAccRef frame(tool.Dialog(), OBJID_WINDOW);
    ASSERT_TRUE(frame);
    EXPECT_EQ(Hear(frame.get(), 0).name, TITLE);
    tool.Stop();
}

TEST_F(AccessibilityTest, ScreenReaderTreeInEachOutcome)
{
    struct Row {
        int id;        // 0: the dialog
        long child;    // 0: the control itself
        long role;
        const char *name;
        long state;    // of HIDDEN | DISABLED
        const char *action;
        const char *value;   // NO_CHECK: not looked at
    };
    struct Case {
        const char *name;
        Outcome outcome;
        std::vector<Row> rows;
    };
    const Row dialog = {0, 0, ROLE_SYSTEM_DIALOG, TITLE, 0, "", NO_CHECK};
    const Row separator = {IDC_SEPARATOR, 0, ROLE_SYSTEM_SEPARATOR, "", 0, "", NO_CHECK};
    const Row download = {IDC_DOWNLOAD, 0, ROLE_SYSTEM_PUSHBUTTON, DOWNLOAD, 0, PRESS, NO_CHECK};
    const Row safeStart = {IDC_SAFESTART, 0, ROLE_SYSTEM_PUSHBUTTON, SAFE_START, 0, PRESS, NO_CHECK};
    const Row forum = {IDC_FORUM_LINK, 0, ROLE_SYSTEM_STATICTEXT, FORUM_TEXT, 0, "", NO_CHECK};
    const Row link = {IDC_FORUM_LINK, 1, ROLE_SYSTEM_LINK, FORUM_LINK, 0, JUMP, NO_CHECK};
    const Case cases[] = {
        {"clean", Outcome::Clean, {dialog, separator, download, safeStart, forum, link}},
        {"problems",
         Outcome::Problems,
         {dialog, separator, download, safeStart, forum, link,
          {IDC_PROBLEM_LIST, 0, ANY_ROLE, NO_CHECK, DISABLED, NO_CHECK, LINE_HIJACK_NOT_REPAIRED}}},
        {"reinstall",
         Outcome::Reinstall,
         {dialog, download, {IDC_SAFESTART, 0, ROLE_SYSTEM_PUSHBUTTON, SAFE_START, HIDDEN, PRESS, NO_CHECK}}},
        {"release running",
         Outcome::Releasing,
         {dialog,
          {IDC_DOWNLOAD, 0, ROLE_SYSTEM_PUSHBUTTON, DOWNLOAD, HIDDEN, PRESS, NO_CHECK},
          {IDC_SPINNER, 0, ROLE_SYSTEM_ANIMATION, SPINNER, 0, "", NO_CHECK}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CToolProcess tool;
        StartIn(c.outcome, tool);
        if (HasFatalFailure())
            return;
        for (const Row &r : c.rows) {
            SCOPED_TRACE("control " + std::to_string(r.id) + " child " + std::to_string(r.child));
            CAccRef acc(FindControl(tool.Dialog(), r.id));
            ASSERT_TRUE(acc);
            const Heard h = Hear(acc.get(), r.child);
            if (r.role != ANY_ROLE) {
                EXPECT_EQ(h.role, r.role);
            }
            if (r.name != NO_CHECK) {
                EXPECT_EQ(h.name, r.name);
            }
            EXPECT_EQ(h.state & (HIDDEN | DISABLED), r.state);
            if (r.action != NO_CHECK) {
                EXPECT_EQ(h.action, r.action);
            }
            if (r.value != NO_CHECK) {
                EXPECT_EQ(h.value, r.value);
            }
        }
        if (c.outcome == Outcome::Clean || c.outcome == Outcome::Problems) {
            // The link is a child of the label, on the label's line.
            CAccRef label(FindControl(tool.Dialog(), IDC_FORUM_LINK));
            ASSERT_TRUE(label);
            long count = 0;
            EXPECT_EQ(label->get_accChildCount(&count), S_OK);
            EXPECT_EQ(count, 1);
            long x = 0, y = 0, cx = 0, cy = 0;
            EXPECT_EQ(label->accLocation(&x, &y, &cx, &cy, Child(1)), S_OK);
            RECT rcLabel = {};
            GetWindowRect(FindControl(tool.Dialog(), IDC_FORUM_LINK), &rcLabel);
            EXPECT_GT(cx, 0);
            EXPECT_GT(cy, 0);
            EXPECT_GT(x, rcLabel.left);
            EXPECT_LE(x + cx, rcLabel.right);
            EXPECT_GE(y, rcLabel.top);
        }
        tool.Stop();
        m_holder.reset();
        m_filler.reset();
    }
}

TEST_F(AccessibilityTest, DefaultActionsOpenTheirPages)
{
    struct Case {
        const char *name;
        int id;
        long child;
        const char *url;
    } cases[] = {
        {"forum link", IDC_FORUM_LINK, 1, FORUM_URL},
        {"download button", IDC_DOWNLOAD, 0, DOWNLOAD_URL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CToolProcess tool;
        StartIn(Outcome::Clean, tool);
        if (HasFatalFailure())
            return;
        CAccRef acc(FindControl(tool.Dialog(), c.id));
        ASSERT_TRUE(acc);
        EXPECT_EQ(acc->accDoDefaultAction(Child(c.child)), S_OK);
        const std::vector<std::string> pages = WaitForLines(m_browserLog, 1);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0], ExeDir() + "\\launch_probe.exe\t" + c.url);
        // Once: nothing more arrives.
        tool.WaitFor([](const ToolView &) { return false; }, 1000, nullptr);
        EXPECT_EQ(LinesOf(m_browserLog).size(), 1u);
        tool.Stop();
    }
}

TEST_F(AccessibilityTest, HiddenButtonRefusesItsAction)
{
    CToolProcess tool;
    StartIn(Outcome::Reinstall, tool);
    if (HasFatalFailure())
        return;
    CAccRef acc(FindControl(tool.Dialog(), IDC_SAFESTART));
    ASSERT_TRUE(acc);
    EXPECT_EQ(acc->accDoDefaultAction(Child(0)), E_FAIL);
    tool.Stop();
}

TEST_F(AccessibilityTest, ReferenceAfterTheDialogClosedFails)
{
    CToolProcess tool;
    StartIn(Outcome::Clean, tool);
    if (HasFatalFailure())
        return;
    CAccRef acc(FindControl(tool.Dialog(), IDC_DOWNLOAD));
    ASSERT_TRUE(acc);
    tool.Stop();
    BSTR name = nullptr;
    const HRESULT hr = acc->get_accName(Child(0), &name);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(name, nullptr);
    EXPECT_TRUE(FAILED(acc->accDoDefaultAction(Child(0))));
}

// ---------------------------------------------------------------------------------------
// The keyboard alone

// The control of the tool that has the keyboard focus (0: none, -1: the dialog itself).
int FocusId(const CToolProcess &tool)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(tool.Dialog(), nullptr), &info) || !info.hwndFocus)
        return 0;
    return info.hwndFocus == tool.Dialog() ? -1 : GetDlgCtrlID(info.hwndFocus);
}

void Key(WORD vk, bool shift = false)
{
    std::vector<INPUT> in;
    auto add = [&](WORD k, DWORD flags) {
        INPUT i = {};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = k;
        i.ki.dwFlags = flags;
        in.push_back(i);
    };
    if (shift)
        add(VK_SHIFT, 0);
    add(vk, 0);
    add(vk, KEYEVENTF_KEYUP);
    if (shift)
        add(VK_SHIFT, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

// Lets the tool handle what was sent: the focus has settled once it reads the same twice.
int SettledFocus(CToolProcess &tool)
{
    int last = FocusId(tool);
    for (int i = 0; i < 40; ++i) {
        tool.WaitFor([](const ToolView &) { return false; }, 50, nullptr);
        const int now = FocusId(tool);
        if (now == last && i >= 2)
            return now;
        last = now;
    }
    return last;
}

// The pixels of a control on screen.
std::vector<COLORREF> Pixels(HWND hWnd)
{
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    std::vector<COLORREF> pixels;
    HDC hdc = GetDC(nullptr);
    for (LONG y = rc.top; y < rc.bottom; ++y)
        for (LONG x = rc.left; x < rc.right; ++x)
            pixels.push_back(GetPixel(hdc, x, y));
    ReleaseDC(nullptr, hdc);
    return pixels;
}

class KeyboardTest : public AccessibilityTest {
protected:
    // The clean outcome in the foreground.
    void StartClean(CToolProcess &tool)
    {
        StartIn(Outcome::Clean, tool);
        if (HasFatalFailure())
            return;
        SetForegroundWindow(tool.Dialog());
        SettledFocus(tool);
    }
    // Tabs until the control has the focus.
    bool TabTo(CToolProcess &tool, int id)
    {
        for (int i = 0; i < 4 && SettledFocus(tool) != id; ++i)
            Key(VK_TAB);
        return SettledFocus(tool) == id;
    }
};

TEST_F(KeyboardTest, TabMovesThroughButtonsAndLinkInReadingOrder)
{
    CToolProcess tool;
    StartClean(tool);
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(TabTo(tool, IDC_FORUM_LINK));
    struct Step {
        bool shift;
        int focus;
    } steps[] = {
        {false, IDC_DOWNLOAD}, {false, IDC_SAFESTART}, {false, IDC_FORUM_LINK},
        {true, IDC_SAFESTART}, {true, IDC_DOWNLOAD},   {true, IDC_FORUM_LINK},
    };
    int n = 0;
    for (const Step &step : steps) {
        SCOPED_TRACE("step " + std::to_string(++n));
        Key(VK_TAB, step.shift);
        EXPECT_EQ(SettledFocus(tool), step.focus);
    }
    tool.Stop();
}

TEST_F(KeyboardTest, KeysRunWhatTheyStandFor)
{
    struct Case {
        const char *name;
        int focus;
        WORD vk;
        const char *page;      // the page the fake browser must receive, or null
        bool productStarted;   // safe start ran
    } cases[] = {
        {"Enter on the link", IDC_FORUM_LINK, VK_RETURN, FORUM_URL, false},
        {"Space on the link", IDC_FORUM_LINK, VK_SPACE, FORUM_URL, false},
        {"Enter on download", IDC_DOWNLOAD, VK_RETURN, DOWNLOAD_URL, false},
        {"Space on download", IDC_DOWNLOAD, VK_SPACE, DOWNLOAD_URL, false},
        {"Enter on safe start", IDC_SAFESTART, VK_RETURN, nullptr, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CToolProcess tool;
        StartClean(tool);
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(TabTo(tool, c.focus));
        Key(c.vk);
        if (c.page) {
            const std::vector<std::string> pages = WaitForLines(m_browserLog, 1);
            ASSERT_EQ(pages.size(), 1u);
            EXPECT_EQ(pages[0], ExeDir() + "\\launch_probe.exe\t" + c.page);
        }
        if (c.productStarted) {
            EXPECT_EQ(WaitForLines(m_productLog, 1).size(), 1u);
        }
        tool.WaitFor([](const ToolView &) { return false; }, 500, nullptr);
        EXPECT_EQ(LinesOf(m_browserLog).size(), c.page ? 1u : 0u);
        // No key but Esc ends the tool.
        EXPECT_FALSE(tool.WaitForExit(0));
        tool.Stop();
        m_pending.Restore();
    }
}

TEST_F(KeyboardTest, FocusLandsOnAVisibleEnabledControlWhenThePanelsChange)
{
    const Outcome outcomes[] = {Outcome::Clean, Outcome::Reinstall, Outcome::Releasing};
    for (Outcome outcome : outcomes) {
        SCOPED_TRACE(static_cast<int>(outcome));
        CToolProcess tool;
        StartIn(outcome, tool);
        if (HasFatalFailure())
            return;
        ToolView view;
        // The release ends (the buttons come back) once the walk is over.
        ASSERT_TRUE(tool.WaitForOutcome(&view, 60000));
        const int id = SettledFocus(tool);
        const HWND hFocus = FindControl(tool.Dialog(), id);
        ASSERT_TRUE(id > 0 && hFocus) << id;
        EXPECT_TRUE(IsWindowVisible(hFocus)) << id;
        EXPECT_TRUE(IsWindowEnabled(hFocus)) << id;
        tool.Stop();
        m_holder.reset();
        m_filler.reset();
    }
}

TEST_F(KeyboardTest, EscEndsTheTool)
{
    CToolProcess tool;
    StartClean(tool);
    if (HasFatalFailure())
        return;
    Key(VK_ESCAPE);
    EXPECT_TRUE(tool.WaitForExit(5000));
}

TEST_F(KeyboardTest, FocusCueAppearsOnlyOnceAKeyWasPressed)
{
    CToolProcess tool;
    StartClean(tool);
    if (HasFatalFailure())
        return;
    const HWND hDownload = FindControl(tool.Dialog(), IDC_DOWNLOAD);
    const HWND hSafeStart = FindControl(tool.Dialog(), IDC_SAFESTART);
    const int first = SettledFocus(tool);
    ASSERT_TRUE(first == IDC_DOWNLOAD || first == IDC_SAFESTART) << first;
    const HWND hFocused = first == IDC_DOWNLOAD ? hDownload : hSafeStart;
    const std::vector<COLORREF> focusedUnseen = Pixels(hFocused);
    // Away and back with the keyboard: the cue shows now.
    Key(VK_TAB);
    EXPECT_NE(SettledFocus(tool), first);
    const std::vector<COLORREF> unfocused = Pixels(hFocused);
    Key(VK_TAB, true);
    ASSERT_EQ(SettledFocus(tool), first);
    const std::vector<COLORREF> focusedSeen = Pixels(hFocused);
    auto differing = [](const std::vector<COLORREF> &a, const std::vector<COLORREF> &b) {
        size_t n = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            n += a[i] != b[i] ? 1 : 0;
        return n;
    };
    EXPECT_TRUE(focusedUnseen == unfocused) << "a cue before any key: " << differing(focusedUnseen, unfocused)
                                            << " of " << unfocused.size() << " pixels differ";
    EXPECT_FALSE(focusedSeen == unfocused) << "no cue after a key";
    tool.Stop();
}

} // namespace
