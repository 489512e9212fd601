// The product installed in a folder named in Chinese, on a system whose code page has no
// Chinese (this test also runs on 1252): the tool finds it, checks its signatures, releases
// the held-open executable, starts it safely and names the folder whole in its report.
#include "res/resource.h"
#include "tests/release/HolderProcess.h"
#include "tests/scenario/ToolMachineTest.h"
#include "tests/scenario/ToolProcess.h"
#include "tests/support/FileContents.h"
#include "tests/support/FileTree.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Utf8Paths.h"

#include <nlohmann/json.hpp>

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char FOLDER[] = u8"安全软件 Halvex产品";
const char LINE_RELEASED[] = u8"  Halvex.exe 被异常占用（已修复）\r\n";


class ChineseFolderTest : public CToolMachineTest {
protected:
    ChineseFolderTest() : CToolMachineTest("hx chinese folder", FOLDER) {}

    void SetUp() override
    {
        CToolMachineTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(m_machine->Prepare({Location::ProductKey, Hijack::None, "maker-100001.exe", "maker-100000.exe"}));
        // The folder really carries the Chinese name.
        ASSERT_NE(GetFileAttributesW(WidePath(m_machine->ExePath()).c_str()), INVALID_FILE_ATTRIBUTES);
        ASSERT_NE(m_machine->Install().find(FOLDER), std::string::npos);
    }
};

TEST_F(ChineseFolderTest, FoundCheckedReleasedAndStartedSafely)
{
    HolderProcess holder;
    ASSERT_TRUE(holder.Start({m_machine->ExePath()}));

    CToolProcess tool;
    ASSERT_TRUE(tool.Start());
    ToolView view;
    ASSERT_TRUE(tool.WaitForOutcome(&view, 60000));
    // Located (no missing-path message), released, and both executables genuine after the
    // re-check: only the released line, safe start offered.
    EXPECT_EQ(tool.MessageBoxes(), std::vector<std::string>{});
    ASSERT_TRUE(view.problem.bVisible);
    EXPECT_EQ(view.strProblems, LINE_RELEASED);
    EXPECT_TRUE(view.safeStart.bEnabled);
    std::vector<bool> open;
    long fillerOpen = 0;
    ASSERT_TRUE(holder.Report(&open, &fillerOpen));
    ASSERT_EQ(open.size(), 1u);
    EXPECT_FALSE(open[0]) << "Halvex.exe is still held";

    ASSERT_TRUE(tool.SendClick(IDC_SAFESTART));
    const std::vector<std::string> copies = NumberedCopies(m_machine->Install());
    ASSERT_EQ(copies.size(), 1u);
    const std::vector<std::string> starts = WaitForLines(m_productLog, 1);
    ASSERT_EQ(starts.size(), 1u);
    // "<own path> <command line>": the copy in the Chinese folder started itself.
    EXPECT_EQ(starts[0].compare(0, copies[0].size(), copies[0]), 0) << starts[0];
    EXPECT_EQ(tool.MessageBoxes(), std::vector<std::string>{});
    tool.Stop();
}

TEST_F(ChineseFolderTest, TheReportNamesTheFolderWhole)
{
    const std::string report = m_base + "\\report.json";
    std::wstring command = L"\"" + WidePath(ExeDir() + "\\HalvexFix.exe") + L"\" /quiet /scan /report \"" +
                           WidePath(report) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    GetExitCodeProcess(pi.hProcess, &exitCode);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(exitCode, 0u);

    std::string text;
    ASSERT_TRUE(ReadFileBytes(report, text));
    const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    ASSERT_FALSE(j.is_discarded()) << text;
    EXPECT_EQ(j["install_dir"], m_machine->Install());
    const nlohmann::json &exes = j["checks"]["executables"];
    ASSERT_EQ(exes.size(), 2u) << text;
    for (const nlohmann::json &exe : exes) {
        EXPECT_EQ(exe["present"], true) << exe.dump();
        EXPECT_EQ(exe["genuine"], true) << exe.dump();
    }
}

} // namespace
