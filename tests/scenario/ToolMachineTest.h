// A test that runs the real tool on a machine of its own: a fresh folder holding the
// product's machine, the logs of the fixture product and of the fake browser, the tool's
// windows left unmanaged, and every setting the tool may change saved and put back.
#pragma once

#include "tests/support/HostsFileBackup.h"
#include "tests/support/ProductMachine.h"
#include "tests/support/RegistryBackup.h"
#include "tests/support/RegistryValueBackup.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class CToolMachineTest : public ::testing::Test {
protected:
    // The folder's name in the temp folder, and the product's folder inside it.
    explicit CToolMachineTest(const char *testDir, const std::string &productFolder = "Halvex Product");

    void SetUp() override;
    void TearDown() override;

    // The fake browser as the shell's handler of http addresses.
    void RegisterFakeBrowser();

    std::string m_base;
    std::string m_productLog;   // each start of the fixture product
    std::string m_browserLog;   // each page the fake browser is given
    std::unique_ptr<CProductMachine> m_machine;
    CRegistryValueBackup m_pending;   // the renames the release schedules for the restart
    CHostsFileBackup m_hosts;

private:
    const char *m_testDir;
    std::string m_productFolder;
    CRegistryBackup m_httpCommand;
    CRegistryBackup m_appDefaults;
};
