#include "tests/support/RegistryValueBackup.h"

CRegistryValueBackup::CRegistryValueBackup(HKEY root, const std::string &path, const std::string &name)
    : m_root(root), m_path(path), m_name(name), m_bExisted(false), m_nType(REG_NONE)
{
    DWORD size = 0;
    if (RegGetValueA(m_root, m_path.c_str(), m_name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &m_nType, nullptr,
                     &size) != ERROR_SUCCESS)
        return;
    m_data.resize(size);
    if (RegGetValueA(m_root, m_path.c_str(), m_name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &m_nType,
                     m_data.empty() ? nullptr : m_data.data(), &size) != ERROR_SUCCESS)
        return;
    m_data.resize(size);
    m_bExisted = true;
}

CRegistryValueBackup::~CRegistryValueBackup()
{
    Restore();
}

void CRegistryValueBackup::Restore()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(m_root, m_path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (m_bExisted)
        RegSetValueExA(key, m_name.c_str(), 0, m_nType, m_data.empty() ? nullptr : m_data.data(),
                       static_cast<DWORD>(m_data.size()));
    else
        RegDeleteValueA(key, m_name.c_str());
    RegCloseKey(key);
}
