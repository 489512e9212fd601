// Keeps one registry value as it was before a test: the constructor reads it, the
// destructor writes it back (or deletes it when it did not exist). For values of keys too
// large or too shared to copy whole.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CRegistryValueBackup {
public:
    CRegistryValueBackup(HKEY root, const std::string &path, const std::string &name);
    ~CRegistryValueBackup();
    CRegistryValueBackup(const CRegistryValueBackup &) = delete;
    CRegistryValueBackup &operator=(const CRegistryValueBackup &) = delete;

    // Puts the value back now; the destructor does it again.
    void Restore();

private:
    HKEY m_root;
    std::string m_path;
    std::string m_name;
    bool m_bExisted;
    DWORD m_nType;
    std::vector<BYTE> m_data;
};
