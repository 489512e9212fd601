#include "tests/scenario/ToolMachineTest.h"

#include "tests/support/FileTree.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Utf8Paths.h"

#include <windows.h>

namespace {

const char HTTP_COMMAND_KEY[] = "http\\shell\\open\\command";
// Without a window manager, Wine's X11 driver waits 2 s for one to confirm each hidden
// window. The tool's windows are left unmanaged, so closing it is timed, not that wait.
const char APP_DEFAULTS_KEY[] = "Software\\Wine\\AppDefaults";
const char X11_TOOL_KEY[] = "Software\\Wine\\AppDefaults\\HalvexFix.exe\\X11 Driver";

} // namespace

CToolMachineTest::CToolMachineTest(const char *testDir, const std::string &productFolder)
    : m_pending(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                "PendingFileRenameOperations"),
      m_testDir(testDir),
      m_productFolder(productFolder),
      m_httpCommand(HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY),
      m_appDefaults(HKEY_CURRENT_USER, APP_DEFAULTS_KEY)
{
}

void CToolMachineTest::SetUp()
{
    m_base = FreshTestDir(m_testDir);
    ASSERT_FALSE(m_base.empty());
    m_machine.reset(new CProductMachine(m_base, m_productFolder));
    m_productLog = m_base + "\\product.log";
    m_browserLog = m_base + "\\browser.log";
    SetEnvironmentVariableW(L"HALVEX_FIXTURE_LOG", WidePath(m_productLog).c_str());
    SetEnvironmentVariableW(L"HALVEX_LAUNCH_LOG", WidePath(m_browserLog).c_str());
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, X11_TOOL_KEY, "Managed", "N"));
}

void CToolMachineTest::TearDown()
{
    SetEnvironmentVariableW(L"HALVEX_FIXTURE_LOG", nullptr);
    SetEnvironmentVariableW(L"HALVEX_LAUNCH_LOG", nullptr);
    m_pending.Restore();
    RemoveTree(m_base);
}

void CToolMachineTest::RegisterFakeBrowser()
{
    ASSERT_TRUE(SetString(HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY, nullptr,
                          "\"" + ExeDir() + "\\launch_probe.exe\" \"%1\""));
}
