// Opening pages and the safe start, against the real registry and real processes. A probe
// program stands in for the browser and the product and records how it was started.
#include "repair/InstallDir.h"
#include "repair/Launch.h"
#include "tests/support/FileTree.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Utf8Paths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char URL[] = "http://halvex.example.com/halvex/download.shtml?a=1&b=2";
const char HTTP_COMMAND[] = "http\\shell\\open\\command";
const char APP_PATHS[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App paths\\IEXPLORE.EXE";
const char IE_SETUP_PARENT[] = "Software\\Microsoft\\IE Setup";
const char IE_SETUP[] = "Software\\Microsoft\\IE Setup\\Setup";
const char SESSION_MANAGER[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char PENDING[] = "PendingFileRenameOperations";

std::string ProbePath()
{
    return ExeDir() + "\\launch_probe.exe";
}

bool SamePath(const std::string &a, const std::string &b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// A key with its values (no subkeys), put back as it was when the test ends.
class KeyBackup {
public:
    KeyBackup(HKEY root, const char *subKey) : m_root(root), m_subKey(subKey)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        m_existed = true;
        DWORD subKeys = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr);
        m_hasSubKeys = subKeys != 0;
        for (DWORD i = 0;; ++i) {
            char name[16384];
            DWORD nameLength = sizeof(name);
            DWORD type = 0;
            BYTE data[65536];
            DWORD size = sizeof(data);
            if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
                break;
            m_values.push_back({name, type, std::string(reinterpret_cast<char *>(data), size)});
        }
        RegCloseKey(key);
        // Put it back under its own letter case.
        size_t slash = m_subKey.rfind('\\');
        HKEY parent = nullptr;
        if (slash != std::string::npos
            && RegOpenKeyExA(root, m_subKey.substr(0, slash).c_str(), 0, KEY_READ, &parent) == ERROR_SUCCESS) {
            char name[256];
            for (DWORD i = 0;; ++i) {
                DWORD length = sizeof(name);
                if (RegEnumKeyExA(parent, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                if (lstrcmpiA(name, m_subKey.c_str() + slash + 1) == 0) {
                    m_subKey = m_subKey.substr(0, slash + 1) + name;
                    break;
                }
            }
            RegCloseKey(parent);
        }
    }
    ~KeyBackup()
    {
        if (m_hasSubKeys)
            return;  // never touched, see Safe()
        RegDeleteTreeA(m_root, m_subKey.c_str());
        RegDeleteKeyA(m_root, m_subKey.c_str());
        if (!m_existed)
            return;
        HKEY key = nullptr;
        if (RegCreateKeyExA(m_root, m_subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)
            != ERROR_SUCCESS)
            return;
        for (const Value &v : m_values)
            RegSetValueExA(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE *>(v.data.data()),
                           static_cast<DWORD>(v.data.size()));
        RegCloseKey(key);
    }
    bool Safe() const { return !m_hasSubKeys; }

private:
    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    HKEY m_root;
    std::string m_subKey;
    bool m_existed = false;
    bool m_hasSubKeys = false;
    std::vector<Value> m_values;
};

// Replaces a key's contents: absent when value is null. The value is UTF-8, stored as the
// system stores strings.
void SetKey(HKEY root, const char *subKey, const char *valueName, const std::string *value, DWORD type = REG_SZ)
{
    RegDeleteTreeA(root, subKey);
    RegDeleteKeyA(root, subKey);
    if (!value)
        return;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    const std::wstring name = WidePath(valueName ? valueName : "");
    const std::wstring wide = WidePath(*value);
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, valueName ? name.c_str() : nullptr, 0, type,
                                            reinterpret_cast<const BYTE *>(wide.c_str()),
                                            static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))));
    RegCloseKey(key);
}

// A scratch folder whose path holds a space, and the probe's log inside it.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        m_base = std::string(temp) + "hxlaunch" + std::to_string(GetCurrentProcessId());
        RemoveTree(m_base);
        ASSERT_TRUE(CreateDirectoryA(m_base.c_str(), nullptr));
        m_log = m_base + "\\launch.log";
        SetEnvironmentVariableA("HALVEX_LAUNCH_LOG", m_log.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("HALVEX_LAUNCH_LOG", nullptr);
        RemoveTree(m_base);
    }

    // Each start the probe recorded: its own path, then its arguments.
    std::vector<std::vector<std::string>> Starts()
    {
        std::vector<std::vector<std::string>> starts;
        std::ifstream in(m_log, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            std::vector<std::string> fields;
            std::stringstream s(line);
            std::string field;
            while (std::getline(s, field, '\t'))
                fields.push_back(field);
            starts.push_back(fields);
        }
        return starts;
    }
    std::vector<std::vector<std::string>> WaitForStarts(size_t count)
    {
        for (int i = 0; i < 100 && Starts().size() < count; ++i)
            Sleep(100);
        Sleep(300);  // a second, unwanted start would show by now
        return Starts();
    }

    std::string m_base;
    std::string m_log;
};

// ---------------------------------------------------------------------------------------
// Internet Explorer's path

struct IePathCase {
    const char *name;
    const char *appPath;    // App Paths default value (REG_EXPAND_SZ), null: no key
    const char *setupPath;  // IE Setup "Path", null: no key
    const char *expected;   // null: not found
};

void PrintTo(const IePathCase &c, std::ostream *os)
{
    *os << c.name;
}

class IExplorePathTest : public ::testing::TestWithParam<IePathCase> {
protected:
    KeyBackup m_appPaths{HKEY_LOCAL_MACHINE, APP_PATHS};
    KeyBackup m_setupParent{HKEY_LOCAL_MACHINE, IE_SETUP_PARENT};  // created along with the key
    KeyBackup m_setup{HKEY_LOCAL_MACHINE, IE_SETUP};
};

TEST_P(IExplorePathTest, ReadsExpandsAndCompletesThePath)
{
    const IePathCase &c = GetParam();
    ASSERT_TRUE(m_appPaths.Safe() && m_setup.Safe());
    SetEnvironmentVariableA("HALVEX_IE_DIR", "C:\\Program Files\\Internet Explorer");
    SetEnvironmentVariableA("HALVEX_LONG", std::string(1100, 'x').c_str());
    std::string appPath = c.appPath ? c.appPath : "";
    std::string setupPath = c.setupPath ? c.setupPath : "";
    SetKey(HKEY_LOCAL_MACHINE, APP_PATHS, nullptr, c.appPath ? &appPath : nullptr, REG_EXPAND_SZ);
    SetKey(HKEY_LOCAL_MACHINE, IE_SETUP, "Path", c.setupPath ? &setupPath : nullptr);

    std::string path = "stale";
    bool found = GetIExplorePath(path);
    EXPECT_EQ(found, c.expected != nullptr);
    EXPECT_EQ(path, c.expected ? c.expected : "");
}

// Paths come back as UTF-8 and are lowered beyond A to Z.
INSTANTIATE_TEST_SUITE_P(
    Registry, IExplorePathTest,
    ::testing::Values(
        IePathCase{"AppPathsExpandedAndLowered", "%HALVEX_IE_DIR%\\IEXPLORE.EXE", "C:\\Other",
                   "c:\\program files\\internet explorer\\iexplore.exe"},
        IePathCase{"SetupPathWithBackslash", nullptr, "C:\\IE Folder\\", "c:\\ie folder\\iexplore.exe"},
        IePathCase{"SetupPathWithoutBackslash", nullptr, "C:\\IE Folder", "c:\\ie folder\\iexplore.exe"},
        IePathCase{"SetupPathNamingTheExe", nullptr, "C:\\IE\\IExplore.exe", "c:\\ie\\iexplore.exe"},
        IePathCase{"ChineseKeptAndSeparatorAdded", nullptr, u8"C:\\XÉ中文", u8"c:\\xé中文\\iexplore.exe"},
        IePathCase{"TooLongExpansionFallsBack", "%HALVEX_LONG%", "C:\\IE", "c:\\ie\\iexplore.exe"},
        IePathCase{"NeitherKey", nullptr, nullptr, nullptr}),
    [](const ::testing::TestParamInfo<IePathCase> &info) { return std::string(info.param.name); });

TEST(IExplorePath, ValueFillingTheWholeBufferIsNotOverread)
{
    KeyBackup appPaths(HKEY_LOCAL_MACHINE, APP_PATHS);
    ASSERT_TRUE(appPaths.Safe());
    SetKey(HKEY_LOCAL_MACHINE, APP_PATHS, nullptr, nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, APP_PATHS, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    // Stored without a terminating zero; the byte after the data must not be a zero
    // either, or the registry takes it in.
    std::string full(513, 'a');
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(full.data()), 512));
    full.resize(512);
    RegCloseKey(key);

    std::string path;
    ASSERT_TRUE(GetIExplorePath(path));
    EXPECT_EQ(path, full + "\\iexplore.exe");
}

TEST(DefaultBrowserCommand, ReadsTheHttpCommandLowered)
{
    KeyBackup command(HKEY_CLASSES_ROOT, HTTP_COMMAND);
    ASSERT_TRUE(command.Safe());
    std::string value = u8"\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" -nohome 中É";
    SetKey(HKEY_CLASSES_ROOT, HTTP_COMMAND, nullptr, &value);
    std::string text;
    ASSERT_TRUE(GetDefaultBrowserCommand(text));
    EXPECT_EQ(text, u8"\"c:\\program files\\internet explorer\\iexplore.exe\" -nohome 中é");

    SetKey(HKEY_CLASSES_ROOT, HTTP_COMMAND, nullptr, nullptr);
    EXPECT_FALSE(GetDefaultBrowserCommand(text));
    EXPECT_EQ(text, "");
}

// ---------------------------------------------------------------------------------------
// Opening a page

enum class Browser { Probe, Iexplore };
enum class IeKey { AppPaths, SetupWithBackslash, SetupWithoutBackslash };

struct OpenCase {
    const char *name;
    Browser browser;
    IeKey ieKey;
};

void PrintTo(const OpenCase &c, std::ostream *os)
{
    *os << c.name;
}

class OpenUrlTest : public ScratchTest, public ::testing::WithParamInterface<OpenCase> {
protected:
    KeyBackup m_command{HKEY_CLASSES_ROOT, HTTP_COMMAND};
    KeyBackup m_appPaths{HKEY_LOCAL_MACHINE, APP_PATHS};
    KeyBackup m_setupParent{HKEY_LOCAL_MACHINE, IE_SETUP_PARENT};  // created along with the key
    KeyBackup m_setup{HKEY_LOCAL_MACHINE, IE_SETUP};
};

TEST_P(OpenUrlTest, StartsTheBrowserWithTheExactUrl)
{
    const OpenCase &c = GetParam();
    ASSERT_TRUE(m_command.Safe() && m_appPaths.Safe() && m_setup.Safe());
    std::string ieDir = m_base + "\\IE Folder";
    ASSERT_TRUE(CreateDirectoryA(ieDir.c_str(), nullptr));
    std::string fakeIe = ieDir + "\\iexplore.exe";
    ASSERT_TRUE(CopyFileA(ProbePath().c_str(), fakeIe.c_str(), FALSE));

    std::string expectedExe;
    if (c.browser == Browser::Probe) {
        std::string command = "\"" + ProbePath() + "\" \"%1\"";
        SetKey(HKEY_CLASSES_ROOT, HTTP_COMMAND, nullptr, &command);
        // An Internet Explorer that must not be used.
        std::string appPath = fakeIe;
        SetKey(HKEY_LOCAL_MACHINE, APP_PATHS, nullptr, &appPath);
        expectedExe = ProbePath();
    } else {
        std::string command = "\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" -nohome";
        SetKey(HKEY_CLASSES_ROOT, HTTP_COMMAND, nullptr, &command);
        std::string appPath = ieDir + "\\IEXPLORE.EXE";
        std::string setupPath = ieDir + (c.ieKey == IeKey::SetupWithBackslash ? "\\" : "");
        SetKey(HKEY_LOCAL_MACHINE, APP_PATHS, nullptr, c.ieKey == IeKey::AppPaths ? &appPath : nullptr);
        SetKey(HKEY_LOCAL_MACHINE, IE_SETUP, "Path", c.ieKey == IeKey::AppPaths ? nullptr : &setupPath);
        expectedExe = fakeIe;
    }

    EXPECT_TRUE(OpenUrl(URL));
    auto starts = WaitForStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    ASSERT_EQ(starts[0].size(), 2u);
    EXPECT_TRUE(SamePath(starts[0][0], expectedExe)) << starts[0][0];
    EXPECT_EQ(starts[0][1], URL);
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, OpenUrlTest,
    ::testing::Values(OpenCase{"DefaultHandler", Browser::Probe, IeKey::AppPaths},
                      OpenCase{"IexploreFromAppPaths", Browser::Iexplore, IeKey::AppPaths},
                      OpenCase{"IexploreFromSetupWithBackslash", Browser::Iexplore, IeKey::SetupWithBackslash},
                      OpenCase{"IexploreFromSetupWithoutBackslash", Browser::Iexplore,
                               IeKey::SetupWithoutBackslash}),
    [](const ::testing::TestParamInfo<OpenCase> &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Who opens the page: the desktop's shell, the tool itself, or nobody

const char USER_CLASSES_HTTP[] = "Software\\Classes\\http";
const char USER_HTTP_COMMAND[] = "Software\\Classes\\http\\shell\\open\\command";

// No desktop shell answers (no Explorer on Windows): the one case the session's own Wine
// desktop cannot stand for while a message box would wait for a user.
class NoDesktop : public PageDesktop {
public:
    bool ShellAnswers() override { return false; }
    bool ShellOpen(const char *, const char *) override
    {
        ++m_nShellOpens;
        return false;
    }
    void ShowAddress(const char *text) override { m_texts.push_back(text); }

    int m_nShellOpens = 0;
    std::vector<std::string> m_texts;
};

// The session's own desktop: Wine's Explorer answers IShellWindows as a local server, and
// its desktop view hands out the shell's automation object. What it starts is Explorer's
// child, not the tool's.
DWORD DesktopShellId()
{
    DWORD id = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &id);
    return id;
}

enum class Opener { DesktopShell, Tool, Nobody };

struct RouteCase {
    const char *name;
    bool desktopShell;
    bool iexploreDefault;
    bool perUserHandler;
    Opener opener;
};

void PrintTo(const RouteCase &c, std::ostream *os)
{
    *os << c.name;
}

class PageRouteTest : public ScratchTest, public ::testing::WithParamInterface<RouteCase> {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        m_parentLog = m_base + "\\parent.log";
        SetEnvironmentVariableA("HALVEX_LAUNCH_PARENT_LOG", m_parentLog.c_str());
    }
    void TearDown() override
    {
        if (m_bUserKeyMade)
            RegDeleteTreeA(HKEY_CURRENT_USER, USER_CLASSES_HTTP);
        SetEnvironmentVariableA("HALVEX_LAUNCH_PARENT_LOG", nullptr);
        ScratchTest::TearDown();
    }
    std::vector<DWORD> Parents()
    {
        std::vector<DWORD> parents;
        std::ifstream in(m_parentLog);
        unsigned long id = 0;
        while (in >> id)
            parents.push_back(static_cast<DWORD>(id));
        return parents;
    }

    KeyBackup m_command{HKEY_CLASSES_ROOT, HTTP_COMMAND};
    KeyBackup m_appPaths{HKEY_LOCAL_MACHINE, APP_PATHS};
    std::string m_parentLog;
    bool m_bUserKeyMade = false;
};

TEST_P(PageRouteTest, OpensThePageOnlyAsTheDesktopsUserOrThroughTheMachinesHandler)
{
    const RouteCase &c = GetParam();
    ASSERT_TRUE(m_command.Safe() && m_appPaths.Safe());
    HKEY existing = nullptr;
    ASSERT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, USER_CLASSES_HTTP, 0, KEY_READ, &existing))
        << "the user's own http class exists already";

    std::string ieDir = m_base + "\\IE Folder";
    ASSERT_TRUE(CreateDirectoryA(ieDir.c_str(), nullptr));
    std::string fakeIe = ieDir + "\\iexplore.exe";
    ASSERT_TRUE(CopyFileA(ProbePath().c_str(), fakeIe.c_str(), FALSE));
    std::string appPath = fakeIe;
    SetKey(HKEY_LOCAL_MACHINE, APP_PATHS, nullptr, &appPath);
    // The same command for the machine and the user: only the user's key's existence differs,
    // however the registry merges the two.
    std::string command = c.iexploreDefault ? "\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" -nohome"
                                            : "\"" + ProbePath() + "\" \"%1\"";
    SetKey(HKEY_CLASSES_ROOT, HTTP_COMMAND, nullptr, &command);
    if (c.perUserHandler) {
        m_bUserKeyMade = true;
        SetKey(HKEY_CURRENT_USER, USER_HTTP_COMMAND, nullptr, &command);
    }
    EXPECT_EQ(HasPerUserHttpHandler(), c.perUserHandler);

    NoDesktop noDesktop;
    const bool opened = c.desktopShell ? OpenUrl(URL) : OpenUrl(URL, noDesktop);

    auto starts = WaitForStarts(c.opener == Opener::Nobody ? 0 : 1);
    const std::vector<DWORD> parents = Parents();
    if (c.opener == Opener::Nobody) {
        EXPECT_FALSE(opened);
        EXPECT_TRUE(starts.empty());
        ASSERT_EQ(noDesktop.m_texts.size(), 1u);
        EXPECT_NE(noDesktop.m_texts[0].find(URL), std::string::npos);
        EXPECT_NE(noDesktop.m_texts[0].find("Ctrl+C"), std::string::npos);
        return;
    }
    EXPECT_TRUE(opened);
    EXPECT_TRUE(noDesktop.m_texts.empty());
    EXPECT_EQ(noDesktop.m_nShellOpens, 0);
    ASSERT_EQ(starts.size(), 1u);
    ASSERT_EQ(starts[0].size(), 2u);
    EXPECT_TRUE(SamePath(starts[0][0], c.iexploreDefault ? fakeIe : ProbePath())) << starts[0][0];
    EXPECT_EQ(starts[0][1], URL);
    ASSERT_EQ(parents.size(), 1u);
    ASSERT_NE(DesktopShellId(), GetCurrentProcessId());
    EXPECT_EQ(parents[0], c.opener == Opener::DesktopShell ? DesktopShellId() : GetCurrentProcessId());
}

INSTANTIATE_TEST_SUITE_P(
    Table, PageRouteTest,
    ::testing::Values(
        // desktop shell answers, IE is the default, per-user handler -> who starts the browser
        RouteCase{"DesktopIexplore", true, true, false, Opener::DesktopShell},
        RouteCase{"DesktopIexploreUserHandler", true, true, true, Opener::DesktopShell},
        RouteCase{"DesktopDefault", true, false, false, Opener::DesktopShell},
        RouteCase{"DesktopDefaultUserHandler", true, false, true, Opener::DesktopShell},
        RouteCase{"NoDesktopIexplore", false, true, false, Opener::Tool},
        RouteCase{"NoDesktopIexploreUserHandler", false, true, true, Opener::Nobody},
        RouteCase{"NoDesktopDefault", false, false, false, Opener::Tool},
        RouteCase{"NoDesktopDefaultUserHandler", false, false, true, Opener::Nobody}),
    [](const ::testing::TestParamInfo<RouteCase> &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Safe start

class SafeStartTest : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        m_install = m_base + "\\inst dir";
        ASSERT_TRUE(CreateDirectoryA(m_install.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA(ProbePath().c_str(), (m_install + "\\HalvexMain.exe").c_str(), FALSE));
        // What an unquoted "<base>\inst dir\<n>.exe" would start first.
        m_planted = m_base + "\\inst.exe";
        ASSERT_TRUE(CopyFileA(ProbePath().c_str(), m_planted.c_str(), FALSE));
        SetInstallDir(m_install.c_str());
    }
    void TearDown() override
    {
        SetInstallDir("");
        ScratchTest::TearDown();
    }

    // The number in "<install>\<number>.exe", or false when the name is not of that form.
    bool NumberOf(const std::string &path, unsigned long long &number)
    {
        std::string prefix = m_install + "\\";
        if (path.compare(0, prefix.size(), prefix) != 0 || path.size() < prefix.size() + 5
            || path.compare(path.size() - 4, 4, ".exe") != 0)
            return false;
        std::string digits = path.substr(prefix.size(), path.size() - prefix.size() - 4);
        if (digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        number = std::strtoull(digits.c_str(), nullptr, 10);
        return number <= 0xFFFFFFFFull;
    }

    std::string m_install;
    std::string m_planted;
};

TEST_F(SafeStartTest, CopyGetsANumberedNameInTheInstallDirectory)
{
    char buffer[MAX_PATH];
    memset(buffer, 'x', sizeof(buffer));
    ASSERT_TRUE(CopyToRandomName("HalvexMain.exe", buffer, sizeof(buffer)));
    unsigned long long number = 0;
    EXPECT_TRUE(NumberOf(buffer, number)) << buffer;
    WIN32_FILE_ATTRIBUTE_DATA copy, source;
    ASSERT_TRUE(GetFileAttributesExA(buffer, GetFileExInfoStandard, &copy));
    ASSERT_TRUE(GetFileAttributesExA((m_install + "\\HalvexMain.exe").c_str(), GetFileExInfoStandard, &source));
    EXPECT_EQ(copy.nFileSizeLow, source.nFileSizeLow);
    EXPECT_EQ(buffer[strlen(buffer) + 1], '\0');  // the rest of the buffer is zeroed
    EXPECT_EQ(buffer[sizeof(buffer) - 1], '\0');
}

TEST_F(SafeStartTest, FailedCopyStillReportsTheName)
{
    char buffer[MAX_PATH];
    EXPECT_FALSE(CopyToRandomName("Missing.exe", buffer, sizeof(buffer)));
    unsigned long long number = 0;
    EXPECT_TRUE(NumberOf(buffer, number)) << buffer;
    EXPECT_EQ(GetFileAttributesA(buffer), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SafeStartTest, SmallBufferGetsTheStartOfTheName)
{
    char buffer[16];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_TRUE(CopyToRandomName("HalvexMain.exe", buffer, 10));
    EXPECT_EQ(std::string(buffer), (m_install + "\\").substr(0, 9));
    EXPECT_EQ(std::string(buffer + 10, 6), "xxxxxx");  // nothing written past the capacity
}

TEST_F(SafeStartTest, InvalidArgumentsLeaveTheBufferAlone)
{
    struct Case {
        const char *fileName;
        bool buffer;
        size_t capacity;
    } cases[] = {{nullptr, true, 8}, {"", true, 8}, {"HalvexMain.exe", false, 8}, {"HalvexMain.exe", true, 0}};
    for (const Case &c : cases) {
        char buffer[8];
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_FALSE(CopyToRandomName(c.fileName, c.buffer ? buffer : nullptr, c.capacity));
        EXPECT_EQ(std::string(buffer, 8), "xxxxxxxx");
    }
}

TEST_F(SafeStartTest, RunStartsOnlyTheCopyFromADirectoryWithASpace)
{
    char copy[MAX_PATH];
    ASSERT_TRUE(CopyToRandomName("HalvexMain.exe", copy, sizeof(copy)));
    ASSERT_NE(std::string(copy).find(' '), std::string::npos);

    EXPECT_TRUE(RunProgram(copy));
    auto starts = WaitForStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(SamePath(starts[0][0], copy)) << starts[0][0];
}

TEST_F(SafeStartTest, PlantedPrefixProgramWouldWinAnUnquotedStart)
{
    // Shows the fixture above is a real trap here: the system resolves the unquoted line
    // to the planted program.
    char copy[MAX_PATH];
    ASSERT_TRUE(CopyToRandomName("HalvexMain.exe", copy, sizeof(copy)));
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, copy, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    auto starts = WaitForStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(SamePath(starts[0][0], m_planted)) << starts[0][0];
}

TEST_F(SafeStartTest, RunOfAMissingFileFails)
{
    EXPECT_FALSE(RunProgram((m_install + "\\4242.exe").c_str()));
    EXPECT_FALSE(RunProgram(nullptr));
    EXPECT_TRUE(WaitForStarts(0).empty());
}

TEST_F(SafeStartTest, DeleteAtRebootRecordsThePendingDeletion)
{
    struct PendingBackup {
        bool existed = false;
        DWORD type = 0;
        std::vector<BYTE> data;
        PendingBackup()
        {
            DWORD size = 0;
            if (RegGetValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING, RRF_RT_ANY, &type, nullptr, &size)
                != ERROR_SUCCESS)
                return;
            existed = true;
            data.resize(size);
            RegGetValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING, RRF_RT_ANY, &type, data.data(), &size);
        }
        ~PendingBackup()
        {
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
                return;
            if (existed)
                RegSetValueExA(key, PENDING, 0, type, data.data(), static_cast<DWORD>(data.size()));
            else
                RegDeleteValueA(key, PENDING);
            RegCloseKey(key);
        }
    } backup;

    char copy[MAX_PATH];
    ASSERT_TRUE(CopyToRandomName("HalvexMain.exe", copy, sizeof(copy)));
    ASSERT_TRUE(DeleteAtReboot(copy));

    // REG_MULTI_SZ pairs: "\??\<path>", then "" for a deletion.
    DWORD type = 0, size = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegGetValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING, RRF_RT_ANY, &type, nullptr, &size));
    std::vector<char> data(size + 2);
    ASSERT_EQ(ERROR_SUCCESS,
              RegGetValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING, RRF_RT_ANY, &type, data.data(), &size));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    std::vector<std::string> strings;
    for (const char *p = data.data(); p < data.data() + size; p += strlen(p) + 1)
        strings.push_back(p);
    bool found = false;
    for (size_t i = 0; i + 1 < strings.size(); ++i)
        found = found || (SamePath(strings[i], std::string("\\??\\") + copy) && strings[i + 1].empty());
    EXPECT_TRUE(found);
    EXPECT_FALSE(DeleteAtReboot(nullptr));
}

// ---------------------------------------------------------------------------------------
// The safe start runs only a copy that was checked, and only the copy that was checked

struct CheckSeen {
    std::vector<std::string> paths;   // what the check was asked about
    bool swapped = false;             // the copy could be replaced or removed during the check
    bool answer = true;
    std::string genuineBytes;         // when set, the copy must hold exactly these
};
CheckSeen g_check;

bool TestCheck(const char *path)
{
    g_check.paths.push_back(path);
    // Someone with write access to the folder tries to swap the file between check and start.
    const std::string other = std::string(path) + ".other";
    if (CopyFileA(path, other.c_str(), FALSE)) {
        g_check.swapped = MoveFileExA(other.c_str(), path, MOVEFILE_REPLACE_EXISTING) || g_check.swapped;
        g_check.swapped = DeleteFileA(path) || g_check.swapped;
        DeleteFileA(other.c_str());
    }
    if (!g_check.genuineBytes.empty()) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes != g_check.genuineBytes)
            return false;
    }
    return g_check.answer;
}

std::vector<std::string> FilesIn(const std::string &dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        if (data.cFileName[0] != '.')
            names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

TEST_F(SafeStartTest, StartsOnlyAVerifiedCopy)
{
    enum class Prepared { Genuine, SourceLocked, SwappedAfterTheChoice, CheckFails };
    struct Case {
        const char *name;
        Prepared prepared;
        bool started;
    } cases[] = {
        {"genuine executable", Prepared::Genuine, true},
        {"copy fails: the executable is locked", Prepared::SourceLocked, false},
        {"copy differs from the original chosen", Prepared::SwappedAfterTheChoice, false},
        {"copy not genuine", Prepared::CheckFails, false},
    };
    const std::string original = m_install + "\\HalvexMain.exe";
    std::string genuine;
    {
        std::ifstream in(original, std::ios::binary);
        genuine.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(m_log.c_str());
        ASSERT_TRUE(CopyFileA(ProbePath().c_str(), original.c_str(), FALSE));
        g_check = CheckSeen();
        g_check.answer = c.prepared != Prepared::CheckFails;
        g_check.genuineBytes = genuine;
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (c.prepared == Prepared::SourceLocked)
            lock = CreateFileA(original.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (c.prepared == Prepared::SwappedAfterTheChoice) {
            // Chosen as genuine, then replaced before the copy is made: same program, other bytes.
            std::ofstream out(original, std::ios::binary | std::ios::app);
            out << "appended";
        }
        const std::vector<std::string> before = FilesIn(m_install);

        char copy[MAX_PATH] = {};
        const bool started = StartVerifiedCopy("HalvexMain.exe", TestCheck, copy, sizeof(copy));
        if (lock != INVALID_HANDLE_VALUE)
            CloseHandle(lock);
        EXPECT_EQ(started, c.started);
        auto starts = WaitForStarts(c.started ? 1 : 0);
        if (c.started) {
            ASSERT_EQ(starts.size(), 1u);
            EXPECT_TRUE(SamePath(starts[0][0], copy)) << starts[0][0];
            EXPECT_EQ(g_check.paths, std::vector<std::string>{copy});   // the copy was checked, not the original
            EXPECT_FALSE(g_check.swapped) << "the copy could be changed between check and start";
            DeleteFileA(copy);
        } else {
            EXPECT_TRUE(starts.empty());
            EXPECT_EQ(FilesIn(m_install), before) << "the failed copy was left behind";
        }
        if (c.prepared == Prepared::SourceLocked) {
            EXPECT_TRUE(g_check.paths.empty());
        }
    }
}

// A number source that stands still, so the names the copy can get are known.
std::uint32_t FixedNumber()
{
    return 4000000000u;
}

TEST_F(SafeStartTest, CopyNeverOverwritesAnExistingFile)
{
    struct Case {
        const char *name;
        int planted;       // names taken from the first number on
        bool copied;
        int copyNumber;    // offset of the name the copy gets
    } cases[] = {
        {"first name free", 0, true, 0},
        {"first three taken", 3, true, 3},
        {"every name it tries taken", 16, false, -1},
    };
    const RandomNumberFn previous = SetRandomNumberFnForTesting(FixedNumber);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> planted;
        for (int i = 0; i < c.planted; ++i) {
            planted.push_back(m_install + "\\" + std::to_string(FixedNumber() + i) + ".exe");
            std::ofstream(planted.back(), std::ios::binary) << "planted";
        }
        char copy[MAX_PATH];
        const bool copied = CopyToRandomName("HalvexMain.exe", copy, sizeof(copy));
        EXPECT_EQ(copied, c.copied) << copy;
        if (c.copied) {
            EXPECT_EQ(std::string(copy), m_install + "\\" + std::to_string(FixedNumber() + c.copyNumber) + ".exe");
            DeleteFileA(copy);
        }
        for (const std::string &p : planted) {
            std::ifstream in(p, std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(bytes, "planted") << p;
            in.close();
            DeleteFileA(p.c_str());
        }
    }
    SetRandomNumberFnForTesting(previous);
}

TEST(RandomNumber, IsTheTickCountPlusAGeneratorValue)
{
    // Unsigned arithmetic: the offset from the tick count is within rand()'s range even
    // when the sum wraps.
    DWORD before = GetTickCount();
    std::uint32_t number = MakeRandomNumber();
    DWORD after = GetTickCount();
    EXPECT_LE(static_cast<std::uint32_t>(number - before), static_cast<std::uint32_t>(RAND_MAX) + (after - before));
}

} // namespace
