// The tool's main job end to end: the machine is prepared for real (registry, signed product
// files in a directory with a space, a process holding the product open, the hosts file), the
// real HalvexFix.exe is started, and what its window shows is read from outside.
#include "tests/release/HolderProcess.h"
#include "tests/scenario/ToolMachineTest.h"
#include "tests/scenario/ToolProcess.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileTree.h"
#include "tests/support/FixturePaths.h"
#include "tests/support/HostsFileBackup.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestPaths.h"

#include "BuildConfig.h"
#include "res/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char *const HIJACK_KEY = CProductMachine::HIJACK_KEY;
const char SESSION_MANAGER_KEY[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char PENDING_VALUE[] = "PendingFileRenameOperations";

const char DOWNLOAD_URL[] = "http://" HALVEX_WEB_DOMAIN "/halvex/download.shtml";

// What the user reads, as UTF-8: the window's texts are read back as Unicode.
const char LINE_HIJACK_NOT_REPAIRED[] = u8"  Halvex.exe 被映像劫持（未修复）\r\n";
const char LINE_RELEASED[] = u8"  Halvex.exe 被异常占用（已修复）\r\n";
const char LINE_NOT_RELEASED[] = u8"  Halvex.exe 被异常占用（未修复）\r\n";
const char LINE_MAIN_INFECTED[] = u8"  HalvexMain.exe 被感染（未修复）\r\n";

const char MSG_NO_INSTALL_PATH[] = u8"注册表不存在安装路径,请重新安装Halvex!";
const char MSG_HOSTS_REPAIRED[] = u8"成功修复" HALVEX_WEB_DOMAIN u8"域名劫持!";
const char MSG_HOSTS_NOT_REPAIRED[] = HALVEX_WEB_DOMAIN u8"被域名劫持, 修复不成功!";

const int PANEL_TOP = 80;

// Handles a walk of the handle table passes by: enough to keep the release panel on screen
// for a moment, and enough to keep the walk running for seconds.
const long SHORT_WALK_FILLER = 3000;
const long LONG_WALK_FILLER = 15000;

enum class Outcome { Clean, Problems, Reinstall };

bool SamePath(const std::string &a, const std::string &b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// The strings of the pending rename list: pairs of source and target, "" for a deletion.
std::vector<std::string> PendingRenames()
{
    std::vector<std::string> strings;
    DWORD type = 0, size = 0;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, PENDING_VALUE, RRF_RT_ANY, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return strings;
    std::vector<char> data(size + 2);
    if (RegGetValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, PENDING_VALUE, RRF_RT_ANY, &type, data.data(),
                     &size) != ERROR_SUCCESS)
        return strings;
    // A list ends at its empty terminator; pairs keep their empty targets.
    const char *end = data.data() + size;
    for (const char *p = data.data(); p < end; p += strlen(p) + 1)
        strings.push_back(p);
    while (!strings.empty() && strings.size() % 2 != 0 && strings.back().empty())
        strings.pop_back();
    return strings;
}

bool IsScheduledForDeletion(const std::string &path)
{
    const std::vector<std::string> strings = PendingRenames();
    for (size_t i = 0; i + 1 < strings.size(); i += 2)
        if (SamePath(strings[i], "\\??\\" + path) && strings[i + 1].empty())
            return true;
    return false;
}

std::string Describe(const RECT &rc)
{
    std::ostringstream s;
    s << "(" << rc.left << "," << rc.top << ")-(" << rc.right << "," << rc.bottom << ")";
    return s.str();
}

class ScenarioTest : public CToolMachineTest {
protected:
    ScenarioTest() : CToolMachineTest("hx scenario") {}

    // Puts the machine into the given state; m_install becomes the directory the tool
    // should find.
    void Prepare(const Machine &m)
    {
        DeleteFileA(m_productLog.c_str());
        DeleteFileA(m_browserLog.c_str());
        ASSERT_TRUE(m_machine->Prepare(m));
        m_install = m_machine->Install();
    }

    std::string MainExePath() const { return m_install + "\\HalvexMain.exe"; }
    std::string ExePath() const { return m_install + "\\Halvex.exe"; }

    std::string m_install;
};

// What ShowOutcome must have put on screen for an outcome.
void ExpectPresented(const ToolView &v, Outcome outcome, const std::string &problems = std::string(),
                     bool safeStartEnabled = true)
{
    ASSERT_TRUE(v.Presented());
    const LONG width = v.rcClient.right - v.rcClient.left;
    auto expectPlaced = [&](const ToolView::Part &panel, LONG top, const char *name) {
        EXPECT_TRUE(panel.bVisible) << name;
        EXPECT_EQ(panel.rc.left, v.rcClient.left) << name << " " << Describe(panel.rc);
        EXPECT_EQ(panel.rc.top, top) << name << " " << Describe(panel.rc);
        EXPECT_EQ(panel.rc.right - panel.rc.left, width) << name << " " << Describe(panel.rc);
    };
    const LONG y0 = v.rcClient.top + PANEL_TOP;
    EXPECT_FALSE(v.release.bVisible);
    switch (outcome) {
    case Outcome::Clean:
        expectPlaced(v.advice, y0, "advice");
        EXPECT_FALSE(v.problem.bVisible);
        EXPECT_FALSE(v.reinstall.bVisible);
        break;
    case Outcome::Problems:
        expectPlaced(v.problem, y0, "problem");
        expectPlaced(v.advice, v.problem.rc.bottom, "advice");
        EXPECT_FALSE(v.reinstall.bVisible);
        EXPECT_EQ(v.strProblems, problems);
        break;
    case Outcome::Reinstall:
        expectPlaced(v.reinstall, y0, "reinstall");
        EXPECT_FALSE(v.advice.bVisible);
        EXPECT_FALSE(v.problem.bVisible);
        // Only the download button, in the safe-start button's place and of its size.
        EXPECT_FALSE(v.safeStart.bVisible);
        EXPECT_TRUE(v.download.bVisible);
        EXPECT_TRUE(v.download.bEnabled);
        EXPECT_TRUE(EqualRect(&v.download.rc, &v.safeStart.rc))
            << Describe(v.download.rc) << " vs " << Describe(v.safeStart.rc);
        return;
    }
    EXPECT_TRUE(v.download.bVisible);
    EXPECT_TRUE(v.download.bEnabled);
    EXPECT_TRUE(v.safeStart.bVisible);
    EXPECT_EQ(v.safeStart.bEnabled, safeStartEnabled);
    // Buttons stay where the template put them.
    EXPECT_LT(v.download.rc.right, v.safeStart.rc.left);
}

// ---------------------------------------------------------------------------------------
// Start-up: what the checks find and how the outcome is placed

TEST_F(ScenarioTest, StartupOutcomes)
{
    struct Case {
        const char *name;
        Machine machine;
        Outcome outcome;
        const char *problems;
        std::vector<std::string> boxes;
        bool hijackKeyStays;
    } cases[] = {
        {"clean", {Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}, Outcome::Clean, "", {},
         false},
        {"undeletable hijack, product fine",
         {Location::ProductKey, Hijack::Undeletable, "maker-100001.exe", "maker-100000.exe"}, Outcome::Problems,
         LINE_HIJACK_NOT_REPAIRED, {}, true},
        {"deleted hijack, product not locatable",
         {Location::None, Hijack::Deletable, "maker-100001.exe", "maker-100000.exe"}, Outcome::Reinstall, "", {},
         false},
        {"first location without value, second valid",
         {Location::LumoAfterValuelessKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}, Outcome::Clean, "",
         {MSG_NO_INSTALL_PATH}, false},
        {"unsigned files", {Location::ProductKey, Hijack::None, "unsigned.exe", "unsigned.exe"}, Outcome::Reinstall,
         "", {}, false},
        {"files of another company", {Location::ProductKey, Hijack::None, "other.exe", "other.exe"},
         Outcome::Reinstall, "", {}, false},
        {"main exe changed after signing, exe unsigned",
         {Location::ProductKey, Hijack::None, "tampered.exe", "unsigned.exe"}, Outcome::Reinstall, "", {}, false},
        {"genuine main exe of 99999 bytes",
         {Location::ProductKey, Hijack::None, "maker-99999.exe", "maker-100001.exe"}, Outcome::Reinstall, "", {},
         false},
        {"genuine main exe of 100000 bytes, exe missing",
         {Location::ProductKey, Hijack::None, "maker-100000.exe", nullptr}, Outcome::Clean, "", {}, false},
        {"main exe not genuine, genuine exe of 100000 bytes",
         {Location::ProductKey, Hijack::None, "other.exe", "maker-100000.exe"}, Outcome::Clean, "", {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Prepare(c.machine);
        if (HasFatalFailure())
            return;
        CToolProcess tool;
        ASSERT_TRUE(tool.Start());
        ToolView view;
        ASSERT_TRUE(tool.WaitForOutcome(&view));
        ExpectPresented(view, c.outcome, c.problems);
        EXPECT_EQ(tool.MessageBoxes(), c.boxes);
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, HIJACK_KEY), c.hijackKeyStays);
    }
}

// ---------------------------------------------------------------------------------------
// A product executable held open by another process

class HeldOpenTest : public ScenarioTest {
protected:
    void TearDown() override
    {
        m_filler.reset();
        ScenarioTest::TearDown();
    }
    // A process holding an unrelated file open many times, so the walk takes a while.
    void StartFiller(long count)
    {
        std::string file = m_base + "\\filler.dat";
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
        m_filler.reset(new HolderProcess);
        ASSERT_TRUE(m_filler->Start({}, file, count));
    }
    // Prepares the machine, holds Halvex.exe open, starts the tool and waits until the
    // release runs.
    void StartReleasing(const Machine &m, HolderProcess &holder, CToolProcess &tool, ToolView *view)
    {
        Prepare(m);
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(holder.Start({ExePath()}));
        ASSERT_TRUE(tool.Start());
        ASSERT_TRUE(tool.WaitFor(Releasing, 20000, view));
    }
    static bool Releasing(const ToolView &v)
    {
        return v.bDialog && v.release.bVisible && !v.advice.bVisible && !v.problem.bVisible &&
               !v.reinstall.bVisible;
    }

    std::unique_ptr<HolderProcess> m_filler;
};

TEST_F(HeldOpenTest, ReleaseThenRecheck)
{
    struct Case {
        const char *name;
        const char *mainExe;
        const char *exe;
        std::string problems;
        bool safeStartEnabled;
    } cases[] = {
        {"files sound", "maker-100001.exe", "maker-100000.exe", LINE_RELEASED, true},
        {"main exe not genuine, genuine exe of 99999 bytes", "unsigned.exe", "maker-99999.exe",
         std::string(LINE_RELEASED) + LINE_MAIN_INFECTED, false},
    };
    StartFiller(SHORT_WALK_FILLER);
    RegisterFakeBrowser();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HolderProcess holder;
        CToolProcess tool;
        ToolView view;
        StartReleasing({Location::ProductKey, Hijack::None, c.mainExe, c.exe}, holder, tool, &view);
        if (HasFatalFailure())
            return;
        EXPECT_EQ(view.release.rc.top, view.rcClient.top + PANEL_TOP) << Describe(view.release.rc);
        EXPECT_EQ(view.release.rc.right - view.release.rc.left, view.rcClient.right - view.rcClient.left);
        EXPECT_FALSE(view.download.bVisible);
        EXPECT_FALSE(view.safeStart.bVisible);
        // The hidden buttons still get commands (Enter goes to the default button): they
        // must do nothing while the release runs.
        ASSERT_TRUE(tool.SendClick(IDC_DOWNLOAD));
        ASSERT_TRUE(tool.SendClick(IDC_SAFESTART));

        ASSERT_TRUE(tool.WaitForOutcome(&view));
        ExpectPresented(view, Outcome::Problems, c.problems, c.safeStartEnabled);
        EXPECT_TRUE(tool.MessageBoxes().empty());
        EXPECT_TRUE(LinesOf(m_browserLog).empty());
        EXPECT_TRUE(LinesOf(m_productLog).empty());

        // A second completion notice, from anywhere, re-checks nothing.
        tool.Post(WM_USER + 108, 0, 0);
        EXPECT_FALSE(tool.WaitFor([&](const ToolView &v) { return v.strProblems != c.problems; }, 500, &view));

        std::vector<bool> open;
        long fillerOpen = -1;
        ASSERT_TRUE(holder.Report(&open, &fillerOpen));
        EXPECT_EQ(open, std::vector<bool>{false});
    }
}

// A holder the walk cannot undo: the file held through a hard link, a name without
// "Halvex.exe". The window tests the lock again and says the file is still held.
TEST_F(HeldOpenTest, AFileStillHeldAfterTheWalkIsNotRepaired)
{
    RegisterFakeBrowser();
    Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"});
    if (HasFatalFailure())
        return;
    const std::string link = m_base + "\\held copy.bin";
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), ExePath().c_str(), nullptr));
    HolderProcess holder;
    ASSERT_TRUE(holder.Start({link}));

    CToolProcess tool;
    ASSERT_TRUE(tool.Start());
    ToolView view;
    ASSERT_TRUE(tool.WaitForOutcome(&view));
    ExpectPresented(view, Outcome::Problems, LINE_NOT_RELEASED, true);
    EXPECT_TRUE(tool.MessageBoxes().empty());

    std::vector<bool> open;
    long fillerOpen = -1;
    ASSERT_TRUE(holder.Report(&open, &fillerOpen));
    EXPECT_EQ(open, std::vector<bool>{true});
}

TEST_F(HeldOpenTest, ClosingWhileReleasingEndsTheToolAtOnce)
{
    struct Case {
        const char *name;
        UINT message;
        WPARAM wParam;
    } cases[] = {
        {"close", WM_CLOSE, 0},
        {"cancel", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)},
    };
    // A walk of this many handles takes several seconds.
    StartFiller(LONG_WALK_FILLER);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HolderProcess holder;
        CToolProcess tool;
        ToolView view;
        StartReleasing({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}, holder, tool,
                       &view);
        if (HasFatalFailure())
            return;
        const DWORD start = GetTickCount();
        tool.Post(c.message, c.wParam, 0);
        ASSERT_TRUE(tool.WaitForExit(2000)) << "still running after 2 s";
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_LT(elapsed, 2000u);
        DWORD code = 1;
        GetExitCodeProcess(tool.Process(), &code);
        EXPECT_EQ(code, 0u);
    }
}

TEST_F(HeldOpenTest, ForgedCompletionNoticesChangeNothing)
{
    // Each case posts one more notice once the outcome is shown.
    struct Case {
        const char *name;
        std::vector<LPARAM> during;   // posted while the worker runs, one notice each
    } cases[] = {
        {"once during the release", {0}},
        {"twice during the release", {0, 1}},
    };
    // A walk of this many handles takes seconds: the notices arrive while the worker runs.
    StartFiller(LONG_WALK_FILLER);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HolderProcess holder;
        CToolProcess tool;
        ToolView view;
        StartReleasing({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}, holder, tool,
                       &view);
        if (HasFatalFailure())
            return;
        for (LPARAM lParam : c.during)
            tool.Post(WM_USER + 108, 0, lParam);
        EXPECT_FALSE(tool.WaitFor([](const ToolView &v) { return !Releasing(v); }, 300, &view))
            << "the outcome came before the worker ended";

        ASSERT_TRUE(tool.WaitForOutcome(&view, 60000));
        ExpectPresented(view, Outcome::Problems, LINE_RELEASED);
        tool.Post(WM_USER + 108, 0, 0);
        EXPECT_FALSE(tool.WaitFor(
            [](const ToolView &v) { return !v.Presented() || v.strProblems != LINE_RELEASED; }, 500, &view));

        std::vector<bool> open;
        long fillerOpen = -1;
        ASSERT_TRUE(holder.Report(&open, &fillerOpen));
        EXPECT_EQ(open, std::vector<bool>{false});
    }
}

// ---------------------------------------------------------------------------------------
// The download command: hosts repair, its message, then the download page

TEST_F(ScenarioTest, DownloadRepairsTheHostsFileAndOpensThePage)
{
    const std::string kept = "127.0.0.1 localhost\r\n::1 localhost\r\n";
    const std::string redirected = "127.0.0.1 localhost\r\n1.2.3.4 " HALVEX_WEB_DOMAIN "\r\n::1 localhost\r\n";
    struct Case {
        const char *name;
        std::string hosts;
        DWORD attributes;
        std::vector<std::string> boxes;
        std::string hostsAfter;
    } cases[] = {
        {"redirect line", redirected, FILE_ATTRIBUTE_NORMAL, {MSG_HOSTS_REPAIRED}, kept},
        {"redirect line, read-only file", redirected, FILE_ATTRIBUTE_READONLY, {MSG_HOSTS_NOT_REPAIRED}, redirected},
        {"no redirect", kept, FILE_ATTRIBUTE_NORMAL, {}, kept},
    };
    RegisterFakeBrowser();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"});
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(CHostsFileBackup::Write(c.hosts, c.attributes));

        CToolProcess tool;
        ASSERT_TRUE(tool.Start());
        ToolView view;
        ASSERT_TRUE(tool.WaitForOutcome(&view));
        // The page opens only after the message is answered.
        std::vector<size_t> pagesBeforeBox;
        tool.OnMessageBox([&](const std::string &) { pagesBeforeBox.push_back(LinesOf(m_browserLog).size()); });
        tool.PostClick(IDC_DOWNLOAD);
        EXPECT_TRUE(tool.WaitFor([&](const ToolView &) { return !LinesOf(m_browserLog).empty(); }, 10000, nullptr));

        EXPECT_EQ(tool.MessageBoxes(), c.boxes);
        EXPECT_EQ(pagesBeforeBox, std::vector<size_t>(c.boxes.size(), 0));
        const std::vector<std::string> pages = WaitForLines(m_browserLog, 1);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0], ExeDir() + "\\launch_probe.exe\t" + DOWNLOAD_URL);
        std::string hostsAfter;
        EXPECT_TRUE(CHostsFileBackup::Read(hostsAfter));
        EXPECT_EQ(hostsAfter, c.hostsAfter);
        // The outcome stays as it was.
        view = tool.Look();
        ExpectPresented(view, Outcome::Clean);
        m_hosts.Restore();
    }
}

// ---------------------------------------------------------------------------------------
// The safe-start command: a numbered copy of the genuine executable is started

TEST_F(ScenarioTest, SafeStartRunsANumberedCopy)
{
    struct Case {
        const char *name;
        const char *mainExe;
        const char *exe;
        const char *started;  // which file's copy starts; null: nothing
    } cases[] = {
        {"genuine main exe", "maker-100001.exe", "maker-100000.exe", "HalvexMain.exe"},
        {"genuine main exe of 100000 bytes, large genuine exe", "maker-100000.exe", "maker-100001.exe", nullptr},
        {"main exe not genuine, genuine exe of 100001 bytes", "unsigned.exe", "maker-100001.exe", "Halvex.exe"},
        {"main exe not genuine, genuine exe of 100000 bytes", "unsigned.exe", "maker-100000.exe", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Prepare({Location::ProductKey, Hijack::None, c.mainExe, c.exe});
        if (HasFatalFailure())
            return;
        const std::vector<std::string> pendingBefore = PendingRenames();

        CToolProcess tool;
        ASSERT_TRUE(tool.Start());
        ToolView view;
        ASSERT_TRUE(tool.WaitForOutcome(&view));
        ExpectPresented(view, Outcome::Clean);
        // Returns once the command has run: a copy, if any, exists now.
        ASSERT_TRUE(tool.SendClick(IDC_SAFESTART));
        const std::vector<std::string> copies = NumberedCopies(m_install);

        if (!c.started) {
            EXPECT_TRUE(copies.empty());
            EXPECT_EQ(PendingRenames(), pendingBefore);
            EXPECT_TRUE(LinesOf(m_productLog).empty());
        } else {
            ASSERT_EQ(copies.size(), 1u);
            const std::string &copy = copies[0];
            std::string copyBytes, sourceBytes;
            ASSERT_TRUE(ReadFileBytes(copy, copyBytes));
            ASSERT_TRUE(ReadFileBytes(m_install + "\\" + c.started, sourceBytes));
            EXPECT_TRUE(copyBytes == sourceBytes) << "the copy is not of " << c.started;
            EXPECT_TRUE(IsScheduledForDeletion(copy)) << copy;

            const std::vector<std::string> starts = WaitForLines(m_productLog, 1);
            ASSERT_EQ(starts.size(), 1u);
            // "<own path> <command line>": the copy itself, started from the install directory.
            ASSERT_GE(starts[0].size(), copy.size());
            EXPECT_TRUE(SamePath(starts[0].substr(0, copy.size()), copy)) << starts[0];
        }
        EXPECT_EQ(tool.MessageBoxes(), std::vector<std::string>{});
        tool.Stop();
        m_pending.Restore();
    }
}

} // namespace
