// Libraries planted beside the tool, where a download lands, under the names of the system
// libraries its process loads (taken from Wine's loader trace, WINEDEBUG=+loaddll, of a
// start, the download command and a safe start). Each is loaded first from the exe's folder
// when the loader searches there (native-first overrides), and leaves a marker when loaded.
#include "tests/scenario/ToolProcess.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileTree.h"
#include "tests/support/HostsFileBackup.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/RegistryBackup.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/RegistryValueBackup.h"
#include "tests/support/TestPaths.h"

#include "BuildConfig.h"
#include "res/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char HTTP_COMMAND_KEY[] = "http\\shell\\open\\command";
const char SESSION_MANAGER_KEY[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char PENDING_VALUE[] = "PendingFileRenameOperations";
const char APP_DEFAULTS_KEY[] = "Software\\Wine\\AppDefaults";
const char X11_TOOL_KEY[] = "Software\\Wine\\AppDefaults\\HalvexFix.exe\\X11 Driver";
const char DOWNLOAD_URL[] = "http://" HALVEX_WEB_DOMAIN "/halvex/download.shtml";

enum class Loaded {
    // Named in the exe's import table or pulled in by those libraries and by user32's own
    // start-up: Wine's loader resolves them before the first instruction of the exe, from
    // the exe's folder first, and does not read the load configuration's DependentLoadFlags
    // (Windows 10 and later do). Not planted: under Wine nothing of the exe can keep them out.
    BeforeEntry,
    // Loaded once the exe's entry point has run: planted.
    AtRunTime,
};

struct Library {
    const char *name;
    Loaded when;
};

// Every library of the loader's trace, apart from ntdll and kernel32, which the loader
// never takes from the exe's folder.
const Library LIBRARIES[] = {
    {"kernelbase", Loaded::BeforeEntry}, {"msvcrt", Loaded::BeforeEntry},  {"ucrtbase", Loaded::BeforeEntry},
    {"sechost", Loaded::BeforeEntry},    {"advapi32", Loaded::BeforeEntry}, {"win32u", Loaded::BeforeEntry},
    {"user32", Loaded::BeforeEntry},     {"gdi32", Loaded::BeforeEntry},    {"imm32", Loaded::BeforeEntry},
    {"version", Loaded::BeforeEntry},    {"zlib1", Loaded::BeforeEntry},    {"rpcrt4", Loaded::BeforeEntry},
    {"combase", Loaded::BeforeEntry},    {"ole32", Loaded::BeforeEntry},    {"oleaut32", Loaded::BeforeEntry},
    {"shcore", Loaded::BeforeEntry},     {"shlwapi", Loaded::BeforeEntry},  {"shell32", Loaded::BeforeEntry},
    {"uxtheme", Loaded::BeforeEntry},
    {"comctl32", Loaded::AtRunTime},     {"propsys", Loaded::AtRunTime},    {"windowscodecs", Loaded::AtRunTime},
    {"wintrust", Loaded::AtRunTime},     {"crypt32", Loaded::AtRunTime},    {"bcrypt", Loaded::AtRunTime},
};

// The exe's DependentLoadFlags, or -1 when it has no load configuration.
long DependentLoadFlags(const std::string &exe)
{
    std::string bytes;
    if (!ReadFileBytes(exe, bytes) || bytes.size() < 0x40)
        return -1;
    auto dword = [&](size_t at) -> DWORD {
        if (at + 4 > bytes.size())
            return 0;
        return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8
               | static_cast<unsigned char>(bytes[at + 2]) << 16 | static_cast<DWORD>(static_cast<unsigned char>(bytes[at + 3])) << 24;
    };
    const size_t nt = dword(0x3C);
    const size_t optional = nt + 24;
    const bool pe32plus = (dword(optional) & 0xFFFF) == 0x20B;
    const size_t directories = optional + (pe32plus ? 112 : 96);
    const DWORD rva = dword(directories + 10 * 8);
    if (!rva)
        return -1;
    const size_t count = dword(nt + 4) >> 16;               // NumberOfSections
    const size_t table = optional + (dword(nt + 20) & 0xFFFF); // SizeOfOptionalHeader
    for (size_t i = 0; i < count; ++i) {
        const size_t s = table + i * 40;
        const DWORD va = dword(s + 12), size = dword(s + 8), raw = dword(s + 20);
        if (rva >= va && rva < va + size) {
            const size_t at = raw + (rva - va) + (pe32plus ? 78 : 54);
            if (at + 2 > bytes.size())
                return -1;
            return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
        }
    }
    return -1;
}

class PlantedLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_base = FreshTestDir("hx planted");
        ASSERT_FALSE(m_base.empty());
        m_machine.reset(new CProductMachine(m_base));
        m_productLog = m_base + "\\product.log";
        m_browserLog = m_base + "\\browser.log";
        m_downloads = m_base + "\\Downloads";
        ASSERT_TRUE(CreateDirectoryA(m_downloads.c_str(), nullptr));
        SetEnvironmentVariableA("HALVEX_FIXTURE_LOG", m_productLog.c_str());
        SetEnvironmentVariableA("HALVEX_LAUNCH_LOG", m_browserLog.c_str());
        ASSERT_TRUE(SetString(HKEY_CURRENT_USER, X11_TOOL_KEY, "Managed", "N"));
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("HALVEX_FIXTURE_LOG", nullptr);
        SetEnvironmentVariableA("HALVEX_LAUNCH_LOG", nullptr);
        m_pending.Restore();
        RemoveTree(m_base);
    }

    std::string m_base;
    std::string m_downloads;
    std::string m_productLog;
    std::string m_browserLog;
    std::unique_ptr<CProductMachine> m_machine;
    CRegistryBackup m_httpCommand{HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY};
    CRegistryValueBackup m_pending{HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, PENDING_VALUE};
    CHostsFileBackup m_hosts;
    CRegistryBackup m_appDefaults{HKEY_CURRENT_USER, APP_DEFAULTS_KEY};
};

TEST_F(PlantedLibraryTest, NoneIsLoadedFromTheExesFolderAndTheToolWorks)
{
    ASSERT_TRUE(m_machine->Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}));
    ASSERT_TRUE(SetString(HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY, nullptr,
                          "\"" + ExeDir() + "\\launch_probe.exe\" \"%1\""));
    const std::string tool = m_downloads + "\\HalvexFix.exe";
    ASSERT_TRUE(CopyFileA(ToolPath().c_str(), tool.c_str(), FALSE));
    // What Windows 10 and later honour for the libraries Wine loads before the entry point.
    EXPECT_EQ(DependentLoadFlags(tool), 0x800) << "no DependentLoadFlags of LOAD_LIBRARY_SEARCH_SYSTEM32";

    // Native first (the test's environment, see CMakeLists.txt): a search that reaches the
    // exe's folder takes the planted copy.
    for (const Library &l : LIBRARIES) {
        if (l.when != Loaded::AtRunTime)
            continue;
        ASSERT_TRUE(CopyFileA((ExeDir() + "\\planted_library.dll").c_str(),
                              (m_downloads + "\\" + l.name + ".dll").c_str(), FALSE));
    }

    CToolProcess process;
    ASSERT_TRUE(process.Start(tool));
    ToolView view;
    ASSERT_TRUE(process.WaitForOutcome(&view)) << "the tool did not reach its outcome";
    EXPECT_TRUE(view.advice.bVisible);

    // The download command: the hosts check and the page, opened through the desktop.
    process.PostClick(IDC_DOWNLOAD);
    EXPECT_EQ(WaitForLines(m_browserLog, 1).size(), 1u) << "the download page did not open";
    // The safe start: the copy is checked (the trust libraries load) and started.
    ASSERT_TRUE(process.SendClick(IDC_SAFESTART));
    EXPECT_EQ(WaitForLines(m_productLog, 1).size(), 1u) << "the product was not started";
    EXPECT_EQ(process.MessageBoxes(), std::vector<std::string>{});
    process.Stop();

    for (const Library &l : LIBRARIES) {
        if (l.when != Loaded::AtRunTime)
            continue;
        const std::string marker = m_downloads + "\\" + l.name + ".dll.loaded";
        EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES)
            << l.name << ".dll was loaded from the exe's folder";
    }
}

// The planting reaches the loader: a library Wine resolves before the exe's entry point is
// taken from the exe's folder (the one gap the exe cannot close under Wine, see the table).
// Without this, a run in which nothing was loaded would prove nothing.
TEST_F(PlantedLibraryTest, APlantedCopyReachesTheLoader)
{
    const std::string tool = m_downloads + "\\HalvexFix.exe";
    ASSERT_TRUE(CopyFileA(ToolPath().c_str(), tool.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((ExeDir() + "\\planted_library.dll").c_str(), (m_downloads + "\\version.dll").c_str(), FALSE));

    CToolProcess process;
    ASSERT_TRUE(process.Start(tool));
    const std::string marker = m_downloads + "\\version.dll.loaded";
    for (int i = 0; i < 100 && GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
    process.Stop();
}

} // namespace
