// Keeps a registry key as it was before a test: the constructor copies the key's tree aside,
// the destructor deletes whatever the test left and copies the original back.
#pragma once

#include <windows.h>

#include <string>

class CRegistryBackup {
public:
    CRegistryBackup(HKEY root, const std::string &path);
    ~CRegistryBackup();

private:
    HKEY m_root;
    std::string m_path;
    std::string m_backupPath;
    bool m_bExisted;
};
