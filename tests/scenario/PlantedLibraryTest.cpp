// Libraries planted beside the tool, where a download lands, under the names of the system
// libraries its process loads (taken from Wine's loader trace, WINEDEBUG=+loaddll, of a
// start, the download command and a safe start). Each is loaded first from the exe's folder
// when the loader searches there (native-first overrides), and leaves a marker when loaded.
#include "tests/scenario/ToolMachineTest.h"
#include "tests/scenario/ToolProcess.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileTree.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/TestPaths.h"

#include "BuildConfig.h"
#include "res/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char DOWNLOAD_URL[] = "http://" HALVEX_WEB_DOMAIN "/halvex/download.shtml";

enum class Loaded {
    // Taken by Wine's loader before the exe's first instruction: kernel32's own kernelbase
    // and the C runtime, the exe's one load-time import besides kernel32. Wine has no list of
    // known DLLs that keeps these in the system directory (Windows has), and no code of the
    // exe runs before them. Planted only to show that planting reaches the loader.
    BeforeEntry,
    // Everything else: loaded once the exe's entry point has limited the search.
    AtRunTime,
};

struct Library {
    const char *name;
    Loaded when;
};

// Every library of the loader's trace (WINEDEBUG=+loaddll) through start-up, the download
// command, the forum link and safe start, apart from ntdll and kernel32, which the loader
// never takes from the exe's folder. The overrides in CMakeLists.txt name the same files.
const Library LIBRARIES[] = {
    {"kernelbase.dll", Loaded::BeforeEntry}, {"msvcrt.dll", Loaded::BeforeEntry},
    {"ucrtbase.dll", Loaded::AtRunTime}, {"sechost.dll", Loaded::AtRunTime},
    {"advapi32.dll", Loaded::AtRunTime}, {"win32u.dll", Loaded::AtRunTime},
    {"user32.dll", Loaded::AtRunTime}, {"gdi32.dll", Loaded::AtRunTime},
    {"imm32.dll", Loaded::AtRunTime}, {"version.dll", Loaded::AtRunTime},
    {"zlib1.dll", Loaded::AtRunTime}, {"rpcrt4.dll", Loaded::AtRunTime},
    {"combase.dll", Loaded::AtRunTime}, {"ole32.dll", Loaded::AtRunTime},
    {"oleaut32.dll", Loaded::AtRunTime}, {"shcore.dll", Loaded::AtRunTime},
    {"shlwapi.dll", Loaded::AtRunTime}, {"shell32.dll", Loaded::AtRunTime},
    {"uxtheme.dll", Loaded::AtRunTime}, {"comctl32.dll", Loaded::AtRunTime},
    {"propsys.dll", Loaded::AtRunTime}, {"windowscodecs.dll", Loaded::AtRunTime},
    {"actxprxy.dll", Loaded::AtRunTime}, {"wintrust.dll", Loaded::AtRunTime},
    {"imagehlp.dll", Loaded::AtRunTime}, {"dbghelp.dll", Loaded::AtRunTime},
    {"crypt32.dll", Loaded::AtRunTime}, {"bcrypt.dll", Loaded::AtRunTime},
    {"rsaenh.dll", Loaded::AtRunTime}, {"winex11.drv", Loaded::AtRunTime},
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

class PlantedLibraryTest : public CToolMachineTest {
protected:
    PlantedLibraryTest() : CToolMachineTest("hx planted") {}

    void SetUp() override
    {
        CToolMachineTest::SetUp();
        if (HasFatalFailure())
            return;
        m_downloads = m_base + "\\Downloads";
        ASSERT_TRUE(CreateDirectoryA(m_downloads.c_str(), nullptr));
    }

    std::string m_downloads;
};

TEST_F(PlantedLibraryTest, NoneIsLoadedFromTheExesFolderAndTheToolWorks)
{
    ASSERT_TRUE(m_machine->Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}));
    RegisterFakeBrowser();
    const std::string tool = m_downloads + "\\HalvexFix.exe";
    ASSERT_TRUE(CopyFileA(ToolPath().c_str(), tool.c_str(), FALSE));
    // What Windows 10 and later honour for the exe's load-time imports.
    EXPECT_EQ(DependentLoadFlags(tool), 0x800) << "no DependentLoadFlags of LOAD_LIBRARY_SEARCH_SYSTEM32";

    // Native first (the test's environment, see CMakeLists.txt): a search that reaches the
    // exe's folder takes the planted copy.
    for (const Library &l : LIBRARIES) {
        if (l.when != Loaded::AtRunTime)
            continue;
        ASSERT_TRUE(CopyFileA((ExeDir() + "\\planted_library.dll").c_str(),
                              (m_downloads + "\\" + l.name).c_str(), FALSE));
    }

    CToolProcess process;
    ASSERT_TRUE(process.Start(tool));
    ToolView view;
    ASSERT_TRUE(process.WaitForOutcome(&view)) << "the tool did not reach its outcome";
    EXPECT_TRUE(view.advice.bVisible);

    // The download command: the hosts check and the page, opened through the desktop.
    process.PostClick(IDC_DOWNLOAD);
    EXPECT_EQ(WaitForLines(m_browserLog, 1).size(), 1u) << "the download page did not open";
    // The forum link, opened as Enter on it opens it.
    PostMessageW(FindControl(process.Dialog(), IDC_FORUM_LINK), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(WaitForLines(m_browserLog, 2).size(), 2u) << "the forum page did not open";
    // The safe start: the copy is checked (the trust libraries load) and started.
    ASSERT_TRUE(process.SendClick(IDC_SAFESTART));
    EXPECT_EQ(WaitForLines(m_productLog, 1).size(), 1u) << "the product was not started";
    EXPECT_EQ(process.MessageBoxes(), std::vector<std::string>{});
    process.Stop();

    for (const Library &l : LIBRARIES) {
        if (l.when != Loaded::AtRunTime)
            continue;
        const std::string marker = m_downloads + "\\" + l.name + ".loaded";
        EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES)
            << l.name << " was loaded from the exe's folder";
    }
}

// The planting reaches the loader: the C runtime, which Wine takes before the exe's entry
// point (see the table), is taken from the exe's folder and the tool does not start.
// Without this, a run in which nothing was loaded would prove nothing.
TEST_F(PlantedLibraryTest, APlantedCopyReachesTheLoader)
{
    const std::string tool = m_downloads + "\\HalvexFix.exe";
    ASSERT_TRUE(CopyFileA(ToolPath().c_str(), tool.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((ExeDir() + "\\planted_library.dll").c_str(), (m_downloads + "\\msvcrt.dll").c_str(), FALSE));

    CToolProcess process;
    ASSERT_TRUE(process.Start(tool));
    EXPECT_TRUE(process.WaitForExit(10000));
    EXPECT_NE(GetFileAttributesA((m_downloads + "\\msvcrt.dll.loaded").c_str()), INVALID_FILE_ATTRIBUTES);
    process.Stop();
}

} // namespace
