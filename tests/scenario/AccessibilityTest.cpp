// The real tool read as a screen reader reads it: its accessible objects are fetched from
// this process through AccessibleObjectFromWindow, in each outcome, and their default
// actions are called; the pages they open reach a fake browser.
#include "tests/release/HolderProcess.h"
#include "tests/scenario/ToolProcess.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileTree.h"
#include "tests/support/HostsFileBackup.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/RegistryBackup.h"
#include "tests/support/RegistryKeys.h"
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

const char HTTP_COMMAND_KEY[] = "http\\shell\\open\\command";
const char APP_DEFAULTS_KEY[] = "Software\\Wine\\AppDefaults";
const char X11_TOOL_KEY[] = "Software\\Wine\\AppDefaults\\HalvexFix.exe\\X11 Driver";

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

// The window of a control somewhere below the dialog (panels included).
HWND FindControl(HWND hDlg, int id)
{
    if (id == 0)
        return hDlg;
    struct Search {
        int id;
        HWND found;
    } search = {id, nullptr};
    EnumChildWindows(
        hDlg,
        [](HWND h, LPARAM l) -> BOOL {
            Search *s = reinterpret_cast<Search *>(l);
            if (GetDlgCtrlID(h) == s->id) {
                s->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class CAccRef {
public:
    explicit CAccRef(HWND hWnd)
    {
        if (hWnd)
            AccessibleObjectFromWindow(hWnd, static_cast<DWORD>(OBJID_CLIENT), ACCESSIBLE_IID,
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

class AccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_base = FreshTestDir("hx access");
        ASSERT_FALSE(m_base.empty());
        m_machine.reset(new CProductMachine(m_base));
        m_browserLog = m_base + "\\browser.log";
        SetEnvironmentVariableA("HALVEX_LAUNCH_LOG", m_browserLog.c_str());
        ASSERT_TRUE(SetString(HKEY_CURRENT_USER, X11_TOOL_KEY, "Managed", "N"));
        std::string command = "\"" + ExeDir() + "\\launch_probe.exe\" \"%1\"";
        ASSERT_TRUE(SetString(HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY, nullptr, command));
    }
    void TearDown() override
    {
        m_filler.reset();
        SetEnvironmentVariableA("HALVEX_LAUNCH_LOG", nullptr);
        RemoveTree(m_base);
        CoUninitialize();
    }

    // Starts the tool on a machine prepared for the outcome and waits until it shows it.
    void StartIn(Outcome outcome, CToolProcess &tool)
    {
        DeleteFileA(m_browserLog.c_str());
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

    std::string m_base;
    std::string m_browserLog;
    std::unique_ptr<CProductMachine> m_machine;
    std::unique_ptr<HolderProcess> m_filler;
    std::unique_ptr<HolderProcess> m_holder;
    CRegistryBackup m_httpCommand{HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY};
    CHostsFileBackup m_hosts;
    CRegistryBackup m_appDefaults{HKEY_CURRENT_USER, APP_DEFAULTS_KEY};
};

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

} // namespace
