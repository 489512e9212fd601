#include "tests/support/RegistryBackup.h"

namespace {

const char BACKUP_ROOT[] = "Software\\HalvexTestBackup";

bool CopyTree(HKEY root, const std::string &from, const std::string &to)
{
    HKEY source = nullptr, target = nullptr;
    if (RegOpenKeyExA(root, from.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS)
        return false;
    bool ok = RegCreateKeyExA(root, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target,
                              nullptr) == ERROR_SUCCESS &&
              RegCopyTreeA(source, nullptr, target) == ERROR_SUCCESS;
    RegCloseKey(source);
    if (target)
        RegCloseKey(target);
    return ok;
}

} // namespace

CRegistryBackup::CRegistryBackup(HKEY root, const std::string &path)
    : m_root(root), m_path(path), m_bExisted(false)
{
    std::string flat = path;
    for (char &c : flat)
        if (c == '\\')
            c = '_';
    m_backupPath = std::string(BACKUP_ROOT) + "\\" + flat;
    RegDeleteTreeA(m_root, m_backupPath.c_str());
    m_bExisted = CopyTree(m_root, m_path, m_backupPath);
}

CRegistryBackup::~CRegistryBackup()
{
    RegDeleteTreeA(m_root, m_path.c_str());
    RegDeleteKeyA(m_root, m_path.c_str());
    if (m_bExisted)
        CopyTree(m_root, m_backupPath, m_path);
    RegDeleteTreeA(m_root, m_backupPath.c_str());
    RegDeleteKeyA(m_root, m_backupPath.c_str());
    RegDeleteKeyA(m_root, BACKUP_ROOT);
}
