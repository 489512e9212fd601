// Unattended runs of the real HalvexFix.exe on prepared machines: the exit code, the JSON
// report read back field by field, the console text, and that no window appears. Scans change
// nothing; /fixhosts rewrites the hosts file as the download command does; two runs never
// work at once; a bad command line changes nothing.
#include "tests/cli/ToolRunner.h"
#include "tests/release/HolderProcess.h"
#include "tests/support/FileTree.h"
#include "tests/support/FixturePaths.h"
#include "tests/support/HostsFileBackup.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/RegistryBackup.h"
#include "tests/support/RegistryKeys.h"

#include "BuildConfig.h"
#include "repair/HostsFilter.h"
#include "res/resource.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Failures show the JSON as text.
NLOHMANN_JSON_NAMESPACE_BEGIN
inline void PrintTo(const basic_json<> &j, std::ostream *os)
{
    *os << j.dump(2);
}
NLOHMANN_JSON_NAMESPACE_END

namespace {

using nlohmann::json;

const char VERSION[] = HALVEX_VERSION;  // the project's version (CMakeLists.txt)
const wchar_t LOCK_NAME[] = L"Global\\HalvexFix.Run.7E1C4B52";

// Texts as the window shows them, in UTF-8 as the report holds them.
const char LINE_HIJACK_REPAIRED[] = u8"  Halvex.exe 被映像劫持（已修复）\r\n";
const char LINE_HIJACK_NOT_REPAIRED[] = u8"  Halvex.exe 被映像劫持（未修复）\r\n";
const char LINE_RELEASED[] = u8"  Halvex.exe 被异常占用（已修复）\r\n";
const char LINE_NOT_RELEASED[] = u8"  Halvex.exe 被异常占用（未修复）\r\n";
const char LINE_MAIN_INFECTED[] = u8"  HalvexMain.exe 被感染（未修复）\r\n";
const char REINSTALL_TEXT[] = u8"未发现Halvex文件或Halvex文件被损坏，您可以点击“下载Halvex”重新安装Halvex。";
const char MSG_NO_INSTALL_PATH[] = u8"注册表不存在安装路径,请重新安装Halvex!";
const char MSG_HOSTS_REPAIRED[] = u8"成功修复" HALVEX_WEB_DOMAIN u8"域名劫持!";
const char MSG_HOSTS_NOT_REPAIRED[] = HALVEX_WEB_DOMAIN u8"被域名劫持, 修复不成功!";

const char APP_DEFAULTS_KEY[] = "Software\\Wine\\AppDefaults";
const char X11_TOOL_KEY[] = "Software\\Wine\\AppDefaults\\HalvexFix.exe\\X11 Driver";

// A walk past this many handles of a filler process keeps a release running for seconds.
const long LONG_WALK_FILLER = 15000;

std::wstring Wide(const std::string &text, UINT codePage)
{
    std::wstring wide(text.size() + 1, L'\0');
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n : 0);
    return wide;
}

std::string Narrow(const std::wstring &text, UINT codePage)
{
    std::string narrow(text.size() * 4 + 1, '\0');
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &narrow[0],
                                static_cast<int>(narrow.size()), nullptr, nullptr);
    narrow.resize(n > 0 ? n : 0);
    return narrow;
}

// UTF-8 text as redirected output carries it: in the code page of the console (936 on a
// Chinese system), or the OEM code page without one, as console programs write it.
std::string ConsoleBytes(const std::string &utf8)
{
    const UINT consoleCodePage = GetConsoleOutputCP();
    return Narrow(Wide(utf8, CP_UTF8), consoleCodePage ? consoleCodePage : GetOEMCP());
}

std::string Utf8FromAnsi(const std::string &ansi)
{
    return Narrow(Wide(ansi, CP_ACP), CP_UTF8);
}

std::string Trimmed(const std::string &line)
{
    const size_t begin = line.find_first_not_of(' ');
    const size_t end = line.find_last_not_of("\r\n");
    return line.substr(begin, end - begin + 1);
}

json Finding(const char *code, const char *status, const std::string &line = std::string())
{
    return json{{"code", code},
                {"status", status},
                {"line", line.empty() ? json(nullptr) : json(line)},
                {"text", line.empty() ? json(nullptr) : json(Trimmed(line))}};
}

bool ReadWide(const std::wstring &path, std::string &bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return true;
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD FixtureSize(const char *fixture)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(SigningFixturePath(fixture).c_str(), GetFileExInfoStandard, &data);
    return data.nFileSizeLow;
}

// The state of an executable as the report describes it, from the fixture placed there.
json Executable(const char *name, const char *fixture)
{
    const bool genuine = fixture && std::string(fixture).rfind("maker-", 0) == 0;
    return json{{"name", name},
                {"present", fixture != nullptr},
                {"genuine", genuine},
                {"size", fixture ? FixtureSize(fixture) : 0}};
}

std::string ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(name, &size);
    return Narrow(std::wstring(name, size), CP_UTF8);
}

std::string RegistryString(const char *path, const char *name)
{
    char value[512] = {};
    DWORD size = sizeof(value);
    if (RegGetValueA(HKEY_LOCAL_MACHINE, path, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "(none)";
    return value;
}

// What a test needs to know stayed exactly as it was.
struct MachineState {
    bool hijackKey;
    std::string debugger;
    bool hijackSubkey;
    std::string hosts;
    DWORD hostsAttributes;
    bool operator==(const MachineState &o) const
    {
        return hijackKey == o.hijackKey && debugger == o.debugger && hijackSubkey == o.hijackSubkey &&
               hosts == o.hosts && hostsAttributes == o.hostsAttributes;
    }
};

MachineState Snapshot()
{
    MachineState s;
    s.hijackKey = KeyExists(HKEY_LOCAL_MACHINE, CProductMachine::HIJACK_KEY);
    s.debugger = RegistryString(CProductMachine::HIJACK_KEY, "Debugger");
    s.hijackSubkey = KeyExists(HKEY_LOCAL_MACHINE, std::string(CProductMachine::HIJACK_KEY) + "\\Keep");
    CHostsFileBackup::Read(s.hosts);
    s.hostsAttributes = GetFileAttributesA(CHostsFileBackup::Path().c_str());
    return s;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_base = FreshTestDir("hx cli");
        ASSERT_FALSE(m_base.empty());
        m_reports = m_base + "\\reports dir";
        ASSERT_TRUE(CreateDirectoryA(m_reports.c_str(), nullptr));
        m_machine.reset(new CProductMachine(m_base));
        // Windows of an interactive start hide without waiting for a window manager.
        ASSERT_TRUE(SetString(HKEY_CURRENT_USER, X11_TOOL_KEY, "Managed", "N"));
    }
    void TearDown() override
    {
        m_holder.reset();
        m_filler.reset();
        RemoveTree(m_base);
    }

    void Prepare(const Machine &m) { ASSERT_TRUE(m_machine->Prepare(m)); }

    // A process holding Halvex.exe open; with a filler, one holding many other files too,
    // so that a release takes seconds.
    void HoldOpen(long filler = 0)
    {
        if (filler) {
            const std::string file = m_base + "\\filler.dat";
            HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            CloseHandle(h);
            m_filler.reset(new HolderProcess);
            ASSERT_TRUE(m_filler->Start({}, file, filler));
        }
        m_holder.reset(new HolderProcess);
        ASSERT_TRUE(m_holder->Start({m_machine->ExePath()}));
    }
    // Whether the holder's handle on Halvex.exe is still open; the holder then ends.
    bool HolderStillHolds()
    {
        std::vector<bool> open;
        long fillerOpen = -1;
        EXPECT_TRUE(m_holder->Report(&open, &fillerOpen));
        return open == std::vector<bool>{true};
    }

    std::string ReportPath(const char *name) const { return m_reports + "\\" + name; }
    std::string ReportArg(const char *name) const { return "/report \"" + ReportPath(name) + "\""; }

    // The report, parsed; its time and its computer are checked here and taken out.
    json ReadReport(const std::string &path)
    {
        std::string bytes;
        EXPECT_TRUE(ReadWide(Wide(path, CP_UTF8), bytes)) << path;
        json j = json::parse(bytes, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << bytes;
        if (!j.is_object())
            return json::object();
        const std::string time = j.value("time_utc", "");
        EXPECT_EQ(time.size(), 20u) << time;
        EXPECT_TRUE(time.size() == 20 && time[4] == '-' && time[10] == 'T' && time[19] == 'Z') << time;
        EXPECT_EQ(j["computer"], ComputerName());
        j.erase("time_utc");
        j.erase("computer");
        return j;
    }

    // Everything a report holds, but time and computer.
    json Expected(const char *mode, bool fixHosts, bool located, const std::string &installKey, json checks,
                  json findings, const char *outcome, int exitCode) const
    {
        json repaired = json::array();
        for (const json &f : findings)
            if (f["status"] == "repaired")
                repaired.push_back(f["code"]);
        return json{{"tool", "HalvexFix"},
                    {"version", VERSION},
                    {"mode", mode},
                    {"fix_hosts", fixHosts},
                    {"install_dir", located ? json(m_machine->Install()) : json(nullptr)},
                    {"install_key", located ? json("HKEY_LOCAL_MACHINE\\" + installKey) : json(nullptr)},
                    {"checks", checks},
                    {"findings", findings},
                    {"repaired", repaired},
                    {"outcome", outcome},
                    {"exit_code", exitCode}};
    }

    std::string m_base;
    std::string m_reports;
    std::unique_ptr<CProductMachine> m_machine;
    std::unique_ptr<HolderProcess> m_holder;
    std::unique_ptr<HolderProcess> m_filler;
    CHostsFileBackup m_hosts;
    CRegistryBackup m_appDefaults{HKEY_CURRENT_USER, APP_DEFAULTS_KEY};
};

// ---------------------------------------------------------------------------------------
// Each outcome of the start-up sequence, repaired unattended

TEST_F(CliTest, QuietRunOutcomes)
{
    const std::string PRODUCT = "Software\\Orvane\\Halvex";
    const std::string LUMO = "Software\\Orvane\\Lumo";
    struct Case {
        const char *name;
        Machine machine;
        bool heldOpen;
        std::string installKey;   // empty: not located
        bool hijackSubkeys;
        std::vector<json> findings;
        const char *outcome;
        int exitCode;
        bool hijackKeyAfter;
    } cases[] = {
        {"clean", {Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}, false, PRODUCT,
         false, {}, "clean", 0, false},
        {"hijack repaired", {Location::ProductKey, Hijack::Deletable, "maker-100001.exe", "maker-100000.exe"}, false,
         PRODUCT, false, {Finding("image_hijack", "repaired", LINE_HIJACK_REPAIRED)}, "problems", 1, false},
        {"hijack not repaired", {Location::ProductKey, Hijack::Undeletable, "maker-100001.exe", "maker-100000.exe"},
         false, PRODUCT, true, {Finding("image_hijack", "not_repaired", LINE_HIJACK_NOT_REPAIRED)}, "problems", 2,
         true},
        // A key that denies Administrators reading it is still a hijack, and it stays.
        {"hijack key unreadable", {Location::ProductKey, Hijack::Unreadable, "maker-100001.exe", "maker-100000.exe"},
         false, PRODUCT, false, {Finding("image_hijack", "not_repaired", LINE_HIJACK_NOT_REPAIRED)}, "problems", 2,
         true},
        {"held open and released", {Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"},
         true, PRODUCT, false, {Finding("held_open", "repaired", LINE_RELEASED)}, "problems", 1, false},
        {"held open, released, damaged", {Location::ProductKey, Hijack::None, "unsigned.exe", "maker-99999.exe"},
         true, PRODUCT, false,
         {Finding("held_open", "repaired", LINE_RELEASED), Finding("main_exe_infected", "not_repaired",
                                                                     LINE_MAIN_INFECTED)},
         "problems", 2, false},
        {"reinstall", {Location::ProductKey, Hijack::None, "unsigned.exe", "unsigned.exe"}, false, PRODUCT, false,
         {Finding("product_damaged", "not_repaired", REINSTALL_TEXT)}, "reinstall", 3, false},
        {"missing install path", {Location::ValuelessKeyOnly, Hijack::None, "maker-100001.exe", "maker-100000.exe"},
         false, "", false,
         {Finding("install_path_unreadable", "notice", MSG_NO_INSTALL_PATH),
          Finding("product_not_found", "not_repaired", REINSTALL_TEXT)},
         "reinstall", 3, false},
        {"hijack repaired, no product", {Location::None, Hijack::Deletable, nullptr, nullptr}, false, "", false,
         {Finding("image_hijack", "repaired", LINE_HIJACK_REPAIRED),
          Finding("product_not_found", "not_repaired", REINSTALL_TEXT)},
         "reinstall", 3, false},
        {"first location without value, second found",
         {Location::LumoAfterValuelessKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}, false, LUMO,
         false, {Finding("install_path_unreadable", "notice", MSG_NO_INSTALL_PATH)}, "clean", 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Prepare(c.machine);
        if (HasFatalFailure())
            return;
        if (c.heldOpen) {
            HoldOpen();
            if (HasFatalFailure())
                return;
        }
        const std::string report = ReportPath("outcome.json");
        ToolRun run;
        ASSERT_TRUE(CToolRunner::Run("/quiet " + ReportArg("outcome.json"), &run));
        EXPECT_EQ(run.nExitCode, static_cast<DWORD>(c.exitCode));
        EXPECT_EQ(run.nWindowsCreated, 0);
        EXPECT_TRUE(run.boxes.empty());

        const bool located = !c.installKey.empty();
        json executables = json::array();
        if (located) {
            executables.push_back(Executable("HalvexMain.exe", c.machine.mainExe));
            executables.push_back(Executable("Halvex.exe", c.machine.exe));
        }
        json holders = json::array();
        if (c.heldOpen)
            holders.push_back(m_holder->ProcessId());
        const json checks = {{"image_hijack", {{"present", c.machine.hijack != Hijack::None},
                                               {"has_subkeys", c.hijackSubkeys}}},
                             {"held_open", {{"held", c.heldOpen}, {"process_ids", holders}}},
                             {"executables", executables},
                             {"hosts", nullptr}};
        EXPECT_EQ(ReadReport(report), Expected("repair", false, located, c.installKey, checks, c.findings, c.outcome,
                                               c.exitCode));

        // The console gets the same lines, in the console's code page.
        for (const json &f : c.findings) {
            if (!f["text"].is_string())
                continue;
            const std::string text = f["text"].get<std::string>();
            EXPECT_NE(run.strOutput.find(ConsoleBytes("  " + text + "\r\n")), std::string::npos) << text;
        }
        EXPECT_NE(run.strOutput.find(ConsoleBytes(u8"（退出码 " + std::to_string(c.exitCode) + u8"）\r\n")),
                  std::string::npos);
        EXPECT_NE(run.strOutput.find(ConsoleBytes(u8"报告：")), std::string::npos);

        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, CProductMachine::HIJACK_KEY) ||
                      KeyExistsUnreadable(HKEY_LOCAL_MACHINE, CProductMachine::HIJACK_KEY),
                  c.hijackKeyAfter);
        if (c.heldOpen) {
            EXPECT_FALSE(HolderStillHolds());
        }
        m_holder.reset();
        DeleteFileA(report.c_str());
    }
}

// The watch for windows sees the windows an interactive start makes: its silence about the
// quiet runs means something.
TEST_F(CliTest, TheWindowWatchSeesTheDialog)
{
    Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"});
    CToolRunner tool;
    ASSERT_TRUE(tool.Start(""));
    HWND dialog = nullptr;
    for (int i = 0; i < 400 && !dialog; ++i) {
        tool.Wait(50);
        for (HWND h : DialogWindowsOf(tool.ProcessId()))
            if (GetDlgItem(h, IDC_DOWNLOAD) && IsWindowVisible(h))
                dialog = h;
    }
    ASSERT_NE(dialog, nullptr);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(tool.Wait(10000));
    EXPECT_GT(tool.Result().nWindowsCreated, 0);
    EXPECT_EQ(tool.Result().nExitCode, 0u);
}

// The file held through a hard link: a name without "Halvex.exe", so the walk closes nothing,
// and the file is still held afterwards. The report says so, with the window's line.
TEST_F(CliTest, AReleaseThatLeavesTheFileHeldSaysSo)
{
    Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"});
    const std::string link = m_base + "\\held copy.bin";
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), m_machine->ExePath().c_str(), nullptr));
    m_holder.reset(new HolderProcess);
    ASSERT_TRUE(m_holder->Start({link}));
    const json checks = {{"image_hijack", {{"present", false}, {"has_subkeys", false}}},
                         {"held_open", {{"held", true}, {"process_ids", json::array()}}},
                         {"executables", {Executable("HalvexMain.exe", "maker-100001.exe"),
                                          Executable("Halvex.exe", "maker-100000.exe")}},
                         {"hosts", nullptr}};
    for (const char *mode : {"repair", "scan"}) {
        SCOPED_TRACE(mode);
        const bool scan = std::string(mode) == "scan";
        ToolRun run;
        ASSERT_TRUE(CToolRunner::Run(std::string("/quiet ") + (scan ? "/scan " : "") + ReportArg("held.json"), &run));
        EXPECT_EQ(run.nExitCode, 2u);
        json report = ReadReport(ReportPath("held.json"));
        // A scan looks at the hosts file too; other tests check that part.
        if (scan)
            report["checks"]["hosts"] = nullptr;
        EXPECT_EQ(report,
                  Expected(mode, false, true, "Software\\Orvane\\Halvex", checks,
                           {Finding("held_open", scan ? "cannot_repair" : "not_repaired", LINE_NOT_RELEASED)}, "problems",
                           2));
        EXPECT_NE(run.strOutput.find(ConsoleBytes(LINE_NOT_RELEASED)), std::string::npos) << run.strOutput;
        EXPECT_EQ(run.strOutput.find(ConsoleBytes(LINE_RELEASED)), std::string::npos) << run.strOutput;
    }
    EXPECT_TRUE(HolderStillHolds());
}

// ---------------------------------------------------------------------------------------
// /scan: what a repair would act on, with nothing changed

TEST_F(CliTest, ScanReportsAndChangesNothing)
{
    const std::string redirect = "1.2.3.4 " HALVEX_WEB_DOMAIN;
    const std::string hostsText = "127.0.0.1 localhost\r\n" + redirect + "\r\n";
    struct Case {
        const char *name;
        Hijack hijack;
        DWORD hostsAttributes;
        const char *mainExe;
        std::vector<json> findings;
        const char *outcome;
        int exitCode;
    } cases[] = {
        {"everything repairable", Hijack::Deletable, FILE_ATTRIBUTE_NORMAL, "maker-100001.exe",
         {Finding("image_hijack", "would_repair", LINE_HIJACK_REPAIRED),
          Finding("held_open", "would_repair", LINE_RELEASED),
          Finding("hosts_redirect", "would_repair", MSG_HOSTS_REPAIRED)},
         "problems", 1},
        {"hijack with subkeys, read-only hosts", Hijack::Undeletable, FILE_ATTRIBUTE_READONLY, "maker-100001.exe",
         {Finding("image_hijack", "cannot_repair", LINE_HIJACK_NOT_REPAIRED),
          Finding("held_open", "would_repair", LINE_RELEASED),
          Finding("hosts_redirect", "cannot_repair", MSG_HOSTS_NOT_REPAIRED)},
         "problems", 2},
        {"damaged after the release", Hijack::Deletable, FILE_ATTRIBUTE_NORMAL, "unsigned.exe",
         {Finding("image_hijack", "would_repair", LINE_HIJACK_REPAIRED),
          Finding("held_open", "would_repair", LINE_RELEASED),
          Finding("exe_infected", "cannot_repair", u8"  Halvex.exe 被感染（未修复）\r\n"),
          Finding("hosts_redirect", "would_repair", MSG_HOSTS_REPAIRED)},
         "problems", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const char *exe = std::string(c.mainExe) == "unsigned.exe" ? "other.exe" : "maker-100000.exe";
        Prepare({Location::ProductKey, c.hijack, c.mainExe, exe});
        ASSERT_TRUE(CHostsFileBackup::Write(hostsText, c.hostsAttributes));
        HoldOpen();
        if (HasFatalFailure())
            return;
        const MachineState before = Snapshot();

        ToolRun run;
        ASSERT_TRUE(CToolRunner::Run("-Q -SCAN " + ReportArg("scan.json"), &run));
        EXPECT_EQ(run.nExitCode, static_cast<DWORD>(c.exitCode));
        EXPECT_EQ(run.nWindowsCreated, 0);

        const json checks = {
            {"image_hijack", {{"present", true}, {"has_subkeys", c.hijack == Hijack::Undeletable}}},
            {"held_open", {{"held", true}, {"process_ids", {m_holder->ProcessId()}}}},
            {"executables", {Executable("HalvexMain.exe", c.mainExe), Executable("Halvex.exe", exe)}},
            {"hosts", {{"readable", true}, {"redirect_lines", {redirect}}}}};
        EXPECT_EQ(ReadReport(ReportPath("scan.json")),
                  Expected("scan", false, true, "Software\\Orvane\\Halvex", checks, c.findings, c.outcome, c.exitCode));

        // Nothing changed: the key with its value and subkey, the hosts file's bytes and
        // attributes, the holder's handle.
        EXPECT_TRUE(Snapshot() == before);
        EXPECT_TRUE(HolderStillHolds());
        // The console says what was found, and that nothing was changed.
        for (const char *part : {u8"扫描（未修改本机）", u8"Halvex.exe 被占用，进程 ", u8"hosts：1 行劫持"})
            EXPECT_NE(run.strOutput.find(ConsoleBytes(part)), std::string::npos) << part;
        m_holder.reset();
        m_hosts.Restore();
    }
}

TEST_F(CliTest, ScanOfAMachineWithoutTheProduct)
{
    Prepare({Location::None, Hijack::None, nullptr, nullptr});
    const MachineState before = Snapshot();
    ToolRun run;
    ASSERT_TRUE(CToolRunner::Run("/q /scan " + ReportArg("scan.json"), &run));
    EXPECT_EQ(run.nExitCode, 3u);
    EXPECT_EQ(run.nWindowsCreated, 0);
    std::string hosts;
    CHostsFileBackup::Read(hosts);
    std::vector<std::string> lines;
    FilterHostsText(hosts.data(), hosts.size(), HALVEX_WEB_DOMAIN, &lines);
    const json checks = {{"image_hijack", {{"present", false}, {"has_subkeys", false}}},
                         {"held_open", {{"held", false}, {"process_ids", json::array()}}},
                         {"executables", json::array()},
                         {"hosts", {{"readable", true}, {"redirect_lines", lines}}}};
    EXPECT_EQ(ReadReport(ReportPath("scan.json")),
              Expected("scan", false, false, "", checks, {Finding("product_not_found", "cannot_repair", REINSTALL_TEXT)},
                       "reinstall", 3));
    EXPECT_TRUE(Snapshot() == before);
}

// ---------------------------------------------------------------------------------------
// /fixhosts: the download command's rewrite, without the page

TEST_F(CliTest, FixHostsRewritesTheHostsFileAsTheDownloadCommandDoes)
{
    const std::string domain = HALVEX_WEB_DOMAIN;
    struct Case {
        const char *name;
        std::string hosts;
        DWORD attributes;
        std::vector<json> findings;
        int exitCode;
        bool rewritten;
    } cases[] = {
        {"redirect lines of every kind",
         "127.0.0.1 localhost\n1.2.3.4 " + domain + "\r\n# " + domain + " blocked\r\n" + domain +
             " 5.6.7.8\r\nkeep\r\r\n\x1a tail\r\n9.9.9.9 www." + domain,
         FILE_ATTRIBUTE_NORMAL, {Finding("hosts_redirect", "repaired", MSG_HOSTS_REPAIRED)}, 1, true},
        {"hidden file", "1.2.3.4 " + domain + "\r\n::1 localhost\r\n", FILE_ATTRIBUTE_HIDDEN,
         {Finding("hosts_redirect", "repaired", MSG_HOSTS_REPAIRED)}, 1, true},
        {"read-only file", "1.2.3.4 " + domain + "\r\n", FILE_ATTRIBUTE_READONLY,
         {Finding("hosts_redirect", "not_repaired", MSG_HOSTS_NOT_REPAIRED)}, 2, false},
        {"no redirect", "127.0.0.1 localhost\r\n", FILE_ATTRIBUTE_NORMAL, {}, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"});
        ASSERT_TRUE(CHostsFileBackup::Write(c.hosts, c.attributes));
        std::vector<std::string> lines;
        const HostsFilterResult expected = FilterHostsText(c.hosts.data(), c.hosts.size(), HALVEX_WEB_DOMAIN, &lines);
        json redirectLines = json::array();
        for (const std::string &line : lines)
            redirectLines.push_back(Utf8FromAnsi(line));

        ToolRun run;
        ASSERT_TRUE(CToolRunner::Run("/FixHosts " + ReportArg("hosts.json") + " /quiet", &run));
        EXPECT_EQ(run.nExitCode, static_cast<DWORD>(c.exitCode));
        EXPECT_EQ(run.nWindowsCreated, 0);

        std::string after;
        ASSERT_TRUE(CHostsFileBackup::Read(after));
        EXPECT_EQ(after, c.rewritten ? expected.strKept : c.hosts);
        EXPECT_EQ(GetFileAttributesA(CHostsFileBackup::Path().c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
                  c.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));

        const json checks = {{"image_hijack", {{"present", false}, {"has_subkeys", false}}},
                             {"held_open", {{"held", false}, {"process_ids", json::array()}}},
                             {"executables", {Executable("HalvexMain.exe", "maker-100001.exe"),
                                              Executable("Halvex.exe", "maker-100000.exe")}},
                             {"hosts", {{"readable", true}, {"redirect_lines", redirectLines}}}};
        EXPECT_EQ(ReadReport(ReportPath("hosts.json")),
                  Expected("repair", true, true, "Software\\Orvane\\Halvex", checks, c.findings,
                           "clean", c.exitCode));
        m_hosts.Restore();
    }
}

// A hosts file that another handle keeps: a reader that shares everything does not hide the
// redirection (the rewrite is refused while it holds the file); a handle that shares nothing
// makes the file unreadable, which is a finding of its own and never "clean".
TEST_F(CliTest, AHostsFileHeldOpenIsNeverClean)
{
    const std::string redirect = "1.2.3.4 " HALVEX_WEB_DOMAIN;
    const std::string hostsText = "127.0.0.1 localhost\r\n" + redirect + "\r\n";
    struct Case {
        const char *name;
        const char *args;
        bool unshared;   // else another process reads it, sharing everything
        json finding;
    } cases[] = {
        {"fixhosts, sharing reader", "/quiet /fixhosts", false,
         Finding("hosts_redirect", "not_repaired", MSG_HOSTS_NOT_REPAIRED)},
        {"scan, sharing reader", "/quiet /scan", false, Finding("hosts_redirect", "cannot_repair", MSG_HOSTS_NOT_REPAIRED)},
        {"fixhosts, unshared handle", "/quiet /fixhosts", true, Finding("hosts_unreadable", "not_repaired")},
        {"scan, unshared handle", "/quiet /scan", true, Finding("hosts_unreadable", "cannot_repair")},
    };
    Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(CHostsFileBackup::Write(hostsText));
        HANDLE unshared = INVALID_HANDLE_VALUE;
        if (c.unshared) {
            unshared = CreateFileA(CHostsFileBackup::Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(unshared, INVALID_HANDLE_VALUE);
        } else {
            m_holder.reset(new HolderProcess);
            ASSERT_TRUE(m_holder->Start({CHostsFileBackup::Path()}));
        }
        ToolRun run;
        const bool ran = CToolRunner::Run(std::string(c.args) + " " + ReportArg("hosts.json"), &run);
        if (unshared != INVALID_HANDLE_VALUE)
            CloseHandle(unshared);
        m_holder.reset();
        ASSERT_TRUE(ran);
        EXPECT_EQ(run.nExitCode, 2u);
        const json report = ReadReport(ReportPath("hosts.json"));
        EXPECT_EQ(report["checks"]["hosts"],
                  (json{{"readable", !c.unshared},
                        {"redirect_lines", c.unshared ? json::array() : json::array({redirect})}}));
        EXPECT_EQ(report["findings"], json::array({c.finding}));
        EXPECT_EQ(report["exit_code"], 2);
        std::string after;
        ASSERT_TRUE(CHostsFileBackup::Read(after));
        EXPECT_EQ(after, hostsText);
        m_hosts.Restore();
    }
}

// ---------------------------------------------------------------------------------------
// Bad command lines: exit 4, nothing touched

TEST_F(CliTest, BadCommandLinesChangeNothing)
{
    const std::string missing = m_base + "\\no such folder\\r.json";
    struct Case {
        const char *name;
        std::string args;
        std::string message;   // UTF-8, in the output
    } cases[] = {
        {"report folder missing", "/quiet /fixhosts /report \"" + missing + "\"",
         u8"报告文件夹不存在：" + m_base + u8"\\no such folder\r\n"},
        {"report path is a folder", "/quiet /fixhosts /report \"" + m_reports + "\"", u8"报告路径是一个文件夹："},
        {"unknown switch", "/quiet /fixhosts /force", u8"未知参数：/force\r\n"},
        {"report without its file", "/quiet /fixhosts /report", u8"/report 后面需要报告文件名\r\n"},
        {"fixhosts without quiet", "/fixhosts", u8"/fixhosts 需要与 /quiet 一起使用\r\n"},
        {"scan and fixhosts", "/quiet /scan /fixhosts", u8"/scan 不修改本机，不能与 /fixhosts 一起使用\r\n"},
    };
    Prepare({Location::ProductKey, Hijack::Deletable, "maker-100001.exe", "maker-100000.exe"});
    ASSERT_TRUE(CHostsFileBackup::Write("1.2.3.4 " HALVEX_WEB_DOMAIN "\r\n"));
    HoldOpen();
    if (HasFatalFailure())
        return;
    const MachineState before = Snapshot();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ToolRun run;
        ASSERT_TRUE(CToolRunner::Run(c.args, &run));
        EXPECT_EQ(run.nExitCode, 4u);
        EXPECT_EQ(run.nWindowsCreated, 0);
        EXPECT_NE(run.strOutput.find(ConsoleBytes(c.message)), std::string::npos) << run.strOutput;
        EXPECT_TRUE(Snapshot() == before);
        EXPECT_FALSE(FileExists(missing));
    }
    // No temp file was left in the report folder either.
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((m_reports + "\\*.tmp").c_str(), &data);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    EXPECT_TRUE(HolderStillHolds());
}

TEST_F(CliTest, UsageGoesToStandardOutput)
{
    ToolRun run;
    ASSERT_TRUE(CToolRunner::Run("/?", &run));
    EXPECT_EQ(run.nExitCode, 0u);
    EXPECT_EQ(run.strOutput.find(ConsoleBytes(u8"Halvex 修复工具 (HalvexFix) 用法：\r\n")), 0u) << run.strOutput;
    EXPECT_NE(run.strOutput.find(ConsoleBytes(u8"  5  另一个修复工具正在运行\r\n")), std::string::npos);
    EXPECT_EQ(run.nWindowsCreated, 0);
}

// The text of this process's console, as the user reads it (cells joined, blanks dropped).
std::string ConsoleText(HANDLE console)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info))
        return std::string();
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
    std::wstring text(cells, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(console, &text[0], cells, COORD{0, 0}, &read);
    std::wstring compact;
    for (wchar_t c : text.substr(0, read))
        if (c != L' ' && c != 0)
            compact += c;
    return Narrow(compact, CP_UTF8);
}

TEST_F(CliTest, TheConsoleItWasStartedFromGetsTheText)
{
    // A console of this test's own, with a screen to read back.
    FreeConsole();
    if (!AllocConsole())
        GTEST_SKIP() << "no console to be had";
    HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(console, INVALID_HANDLE_VALUE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info))
        GTEST_SKIP() << "the console's screen cannot be read here";
    Prepare({Location::ProductKey, Hijack::Deletable, "maker-100001.exe", "maker-100000.exe"});

    // Started without standard handles, as from a prompt: it writes to the prompt's console,
    // in UTF-16, whatever the console's code page.
    ToolRun run;
    ASSERT_TRUE(CToolRunner::Run("/quiet", &run, 120000, false));
    EXPECT_EQ(run.nExitCode, 1u);
    EXPECT_EQ(run.nWindowsCreated, 0);
    const std::string text = ConsoleText(console);
    for (const char *part : {u8"Halvex.exe被映像劫持（已修复）", u8"结果：发现问题并已全部修复（退出码1）"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    CloseHandle(console);
}

TEST_F(CliTest, WithoutAConsoleUsageAndErrorsComeInOneMessageBox)
{
    // From the desktop: no console, no standard handles.
    FreeConsole();
    ToolRun run;
    ASSERT_TRUE(CToolRunner::Run("-?", &run, 60000, false));
    EXPECT_EQ(run.nExitCode, 0u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].find(u8"Halvex 修复工具 (HalvexFix) 用法："), 0u) << run.boxes[0];
    ASSERT_TRUE(CToolRunner::Run("/bogus", &run, 60000, false));
    EXPECT_EQ(run.nExitCode, 4u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].find(u8"未知参数：/bogus\r\n"), 0u) << run.boxes[0];

    // Quiet: never a window.
    for (const char *args : {"/q /?", "/q /bogus", "/quiet /report"}) {
        SCOPED_TRACE(args);
        ASSERT_TRUE(CToolRunner::Run(args, &run, 60000, false));
        EXPECT_EQ(run.nExitCode, std::string(args) == "/q /?" ? 0u : 4u);
        EXPECT_EQ(run.nWindowsCreated, 0);
        EXPECT_TRUE(run.boxes.empty());
    }
}

TEST_F(CliTest, ReportPathWithSpacesAndChinese)
{
    Prepare({Location::ProductKey, Hijack::Deletable, "maker-100001.exe", "maker-100000.exe"});
    const std::wstring folder = Wide(m_reports, CP_UTF8) + L"\\\u62a5\u544a \u4e00";   // "报告 一"
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::string path = Narrow(folder, CP_UTF8) + "\\pc 1.json";
    // An old report is replaced whole.
    HANDLE old = CreateFileW((folder + L"\\pc 1.json").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(old, INVALID_HANDLE_VALUE);
    DWORD written;
    WriteFile(old, "old report, much longer than the new one would ever be ...................", 74, &written,
              nullptr);
    CloseHandle(old);

    ToolRun run;
    ASSERT_TRUE(CToolRunner::Run("/quiet /report:\"" + path + "\"", &run));
    EXPECT_EQ(run.nExitCode, 1u);
    const json report = ReadReport(path);
    EXPECT_EQ(report["findings"], json::array({Finding("image_hijack", "repaired", LINE_HIJACK_REPAIRED)}));
    EXPECT_NE(run.strOutput.find(ConsoleBytes(u8"报告：" + path + "\r\n")), std::string::npos) << run.strOutput;
    // Only the report is left in its folder: the temp file became it.
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names;
    do {
        if (data.cFileName[0] != L'.')
            names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_EQ(names, std::vector<std::wstring>{L"pc 1.json"});
}

// ---------------------------------------------------------------------------------------
// The report in a folder others can write to, and a report that cannot be written

// The temp files of a run in the folder, as full paths.
std::vector<std::wstring> TempFilesIn(const std::wstring &folder)
{
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*.tmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return found;
    do
        found.push_back(folder + L"\\" + data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

TEST_F(CliTest, ReportSurvivesAFolderOthersWriteTo)
{
    enum class Meddle { LinkToVictim, FolderAtTarget };
    struct Case {
        const char *name;
        Meddle meddle;
        DWORD exitCode;
        const char *output;   // UTF-8, in the summary
    } cases[] = {
        // What a user of a shared folder would try: the temp file replaced by a hard link to
        // a file of their choice, which the administrator's run then overwrites.
        {"temp file swapped for a link", Meddle::LinkToVictim, 1, u8"报告："},
        // The rename at the end fails: the run's work stands, the missing report has its code.
        {"target taken at the end", Meddle::FolderAtTarget, 6, u8"报告未能写入（退出码 6）\r\n"},
    };
    const std::wstring folder = Wide(m_reports, CP_UTF8);
    const std::wstring victim = Wide(m_base, CP_UTF8) + L"\\victim.txt";
    const std::string victimText = "the victim's own bytes\r\n";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Prepare({Location::ProductKey, Hijack::Deletable, "maker-100001.exe", "maker-100000.exe"});
        HoldOpen(2000);   // the release keeps the run going while the folder is watched
        if (HasFatalFailure())
            return;
        HANDLE h = CreateFileW(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(h, victimText.data(), static_cast<DWORD>(victimText.size()), &written, nullptr);
        CloseHandle(h);
        const std::string report = ReportPath("shared.json");
        const std::wstring target = Wide(report, CP_UTF8);

        CToolRunner tool;
        ASSERT_TRUE(tool.Start("/quiet " + ReportArg("shared.json")));
        bool meddled = false;
        int attempts = 0;
        while (!meddled && tool.Running()) {
            for (const std::wstring &temp : TempFilesIn(folder)) {
                ++attempts;
                if (c.meddle == Meddle::LinkToVictim)
                    meddled = DeleteFileW(temp.c_str()) && CreateHardLinkW(temp.c_str(), victim.c_str(), nullptr);
                else
                    meddled = CreateDirectoryW(target.c_str(), nullptr);
            }
            tool.Wait(1);
        }
        ASSERT_TRUE(tool.Wait(120000));
        EXPECT_GT(attempts, 0) << "the run ended before its temp file was seen";
        const ToolRun &run = tool.Result();
        EXPECT_EQ(run.nExitCode, c.exitCode);
        EXPECT_NE(run.strOutput.find(ConsoleBytes(c.output)), std::string::npos) << run.strOutput;
        std::string bytes;
        EXPECT_TRUE(ReadWide(victim, bytes));
        EXPECT_EQ(bytes, victimText);
        if (c.meddle == Meddle::LinkToVictim) {
            EXPECT_FALSE(meddled) << "the temp file could be replaced";
            EXPECT_EQ(ReadReport(report)["exit_code"], 1);
        } else {
            EXPECT_TRUE(meddled);
            EXPECT_NE(run.strOutput.find(ConsoleBytes(u8"无法写入报告：" + report)), std::string::npos)
                << run.strOutput;
            RemoveDirectoryW(target.c_str());
        }
        EXPECT_TRUE(TempFilesIn(folder).empty());
        DeleteFileW(target.c_str());
        m_holder.reset();
        m_filler.reset();
    }
}

TEST_F(CliTest, ReportPathAtTheLengthLimit)
{
    // A folder whose report path is one character too long must stop the run before it
    // touches anything; one character shorter works.
    const std::string name = "report.json";
    const size_t folderLength = MAX_PATH - 1 - 1 - name.size();   // path of 259 characters
    const std::string folder = m_reports + "\\" + std::string(folderLength - m_reports.size() - 1, 'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + Wide(folder, CP_UTF8)).c_str(), nullptr));
    const std::string longFolder = folder + "x";
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + Wide(longFolder, CP_UTF8)).c_str(), nullptr));
    struct Case {
        const char *name;
        std::string folder;
        DWORD exitCode;
    } cases[] = {
        {"260 characters", longFolder, 4},
        {"259 characters", folder, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Prepare({Location::ProductKey, Hijack::Deletable, "maker-100001.exe", "maker-100000.exe"});
        if (HasFatalFailure())
            return;
        const MachineState before = Snapshot();
        const std::string path = c.folder + "\\" + name;
        ToolRun run;
        ASSERT_TRUE(CToolRunner::Run("/quiet /report \"" + path + "\"", &run));
        EXPECT_EQ(run.nExitCode, c.exitCode) << run.strOutput;
        const std::wstring longPath = L"\\\\?\\" + Wide(path, CP_UTF8);
        EXPECT_TRUE(TempFilesIn(L"\\\\?\\" + Wide(c.folder, CP_UTF8)).empty());
        if (c.exitCode == 4) {
            EXPECT_TRUE(Snapshot() == before);
            EXPECT_NE(run.strOutput.find(ConsoleBytes(u8"报告路径太长：")), std::string::npos) << run.strOutput;
            EXPECT_EQ(GetFileAttributesW(longPath.c_str()), INVALID_FILE_ATTRIBUTES);
        } else {
            EXPECT_FALSE(Snapshot() == before);
            std::string bytes;
            EXPECT_TRUE(ReadWide(longPath, bytes));
            EXPECT_EQ(json::parse(bytes, nullptr, false)["exit_code"], 1) << bytes;
            DeleteFileW(longPath.c_str());
        }
    }
    RemoveDirectoryW((L"\\\\?\\" + Wide(longFolder, CP_UTF8)).c_str());
    RemoveDirectoryW((L"\\\\?\\" + Wide(folder, CP_UTF8)).c_str());
}

// ---------------------------------------------------------------------------------------
// One run at a time

TEST_F(CliTest, ASecondQuietRunEndsAtOnceWithFive)
{
    Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"});
    HoldOpen(LONG_WALK_FILLER);
    if (HasFatalFailure())
        return;
    CToolRunner first;
    ASSERT_TRUE(first.Start("/quiet " + ReportArg("first.json")));
    // The first holds the lock once its mutex exists.
    HANDLE lock = nullptr;
    for (int i = 0; i < 500 && !lock && first.Running(); ++i) {
        lock = OpenMutexW(SYNCHRONIZE, FALSE, LOCK_NAME);
        if (!lock)
            Sleep(10);
    }
    ASSERT_NE(lock, nullptr);
    CloseHandle(lock);

    const DWORD start = GetTickCount();
    ToolRun second;
    ASSERT_TRUE(CToolRunner::Run("/quiet /fixhosts " + ReportArg("second.json"), &second, 60000));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_TRUE(first.Running()) << "the first run ended before the second: nothing was shown";
    EXPECT_EQ(second.nExitCode, 5u);
    EXPECT_LT(elapsed, 10000u);
    EXPECT_EQ(second.nWindowsCreated, 0);
    EXPECT_NE(second.strOutput.find(ConsoleBytes(u8"另一个修复工具正在运行，未做任何操作（退出码 5）")), std::string::npos)
        << second.strOutput;
    const json report = ReadReport(ReportPath("second.json"));
    EXPECT_EQ(report, Expected("repair", true, false, "", nullptr, json::array(), "not_run", 5));

    ASSERT_TRUE(first.Wait(120000));
    EXPECT_EQ(first.Result().nExitCode, 1u);
    EXPECT_EQ(ReadReport(ReportPath("first.json"))["findings"],
              json::array({Finding("held_open", "repaired", LINE_RELEASED)}));
}

// Foreground window of this desktop, once the tool has had a moment to raise its own.
HWND ForegroundAfter(DWORD ms)
{
    Sleep(ms);
    return GetForegroundWindow();
}

TEST_F(CliTest, ASecondStartRaisesTheRunningWindow)
{
    Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"});
    CToolRunner first;
    ASSERT_TRUE(first.Start(""));
    HWND dialog = nullptr;
    for (int i = 0; i < 400 && !dialog; ++i) {
        first.Wait(50);
        for (HWND h : DialogWindowsOf(first.ProcessId()))
            if (GetDlgItem(h, IDC_DOWNLOAD) && IsWindowVisible(h))
                dialog = h;
    }
    ASSERT_NE(dialog, nullptr);

    // Something else is in front.
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                 nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    ASSERT_EQ(ForegroundAfter(100), other);

    ToolRun second;
    ASSERT_TRUE(CToolRunner::Run("", &second, 30000));
    EXPECT_EQ(second.nExitCode, 5u);
    EXPECT_EQ(second.nWindowsCreated, 0);
    EXPECT_TRUE(second.boxes.empty());
    EXPECT_EQ(ForegroundAfter(200), dialog);
    EXPECT_EQ(DialogWindowsOf(first.ProcessId()).size(), 1u);

    // A quiet run while the window is open does not start either.
    ToolRun quiet;
    ASSERT_TRUE(CToolRunner::Run("/quiet", &quiet, 30000));
    EXPECT_EQ(quiet.nExitCode, 5u);

    DestroyWindow(other);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first.Wait(10000));
    EXPECT_EQ(first.Result().nExitCode, 0u);
}

TEST_F(CliTest, AnInteractiveStartDuringAQuietRunSaysSo)
{
    Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"});
    HoldOpen(LONG_WALK_FILLER);
    if (HasFatalFailure())
        return;
    CToolRunner quiet;
    ASSERT_TRUE(quiet.Start("/quiet"));
    HANDLE lock = nullptr;
    for (int i = 0; i < 500 && !lock && quiet.Running(); ++i) {
        lock = OpenMutexW(SYNCHRONIZE, FALSE, LOCK_NAME);
        if (!lock)
            Sleep(10);
    }
    ASSERT_NE(lock, nullptr);
    CloseHandle(lock);

    // Exit 5 means the lock was held when the second start asked for it (otherwise its
    // window would have opened).
    ToolRun second;
    ASSERT_TRUE(CToolRunner::Run("", &second, 60000, false));
    EXPECT_EQ(second.nExitCode, 5u);
    EXPECT_EQ(second.boxes, std::vector<std::string>{u8"Halvex修复工具正在运行，请稍后再试。"});
    ASSERT_TRUE(quiet.Wait(120000));
    EXPECT_EQ(quiet.Result().nExitCode, 1u);
}

// A lock name taken first by a process that is not an elevated run of the tool must not keep
// the repair away.
TEST_F(CliTest, ASquattedLockDoesNotBlockTheRun)
{
    struct Case {
        const char *name;
        const wchar_t *security;
    } cases[] = {
        {"open to everyone, owned by Users", L"O:BUD:P(A;;GA;;;WD)"},
        {"closed to everyone", L"O:BUD:P"},
    };
    Prepare({Location::ProductKey, Hijack::Deletable, "maker-100001.exe", "maker-100000.exe"});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, CProductMachine::HIJACK_KEY, "Debugger", "C:\\evil.exe"));
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.security, SDDL_REVISION_1, &sd, nullptr));
        SECURITY_ATTRIBUTES sa = {sizeof(sa), sd, FALSE};
        HANDLE squatter = CreateMutexW(&sa, TRUE, LOCK_NAME);
        LocalFree(sd);
        ASSERT_NE(squatter, nullptr);

        ToolRun run;
        ASSERT_TRUE(CToolRunner::Run("/quiet " + ReportArg("squat.json"), &run));
        EXPECT_EQ(run.nExitCode, 1u);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, CProductMachine::HIJACK_KEY));
        const json report = ReadReport(ReportPath("squat.json"));
        ASSERT_EQ(report["findings"].size(), 2u) << report.dump(2);
        EXPECT_EQ(report["findings"][0]["code"], "run_lock_foreign");
        EXPECT_EQ(report["findings"][0]["status"], "notice");
        EXPECT_EQ(report["findings"][1]["code"], "image_hijack");
        ReleaseMutex(squatter);
        CloseHandle(squatter);
    }
}

} // namespace
