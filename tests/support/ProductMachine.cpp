#include "tests/support/ProductMachine.h"

#include "tests/support/FileTree.h"
#include "tests/support/FixturePaths.h"

const char CProductMachine::ORVANE_KEY[] = "Software\\Orvane";
const char CProductMachine::PRODUCT_KEY[] = "Software\\Orvane\\Halvex";
const char CProductMachine::LUMO_KEY[] = "Software\\Orvane\\Lumo";
const char CProductMachine::HIJACK_KEY[] =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\Halvex.exe";

bool KeyExists(HKEY root, const std::string &path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool CreateKey(HKEY root, const std::string &path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool SetString(HKEY root, const std::string &path, const char *name, const std::string &value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool CProductMachine::Prepare(const Machine &m)
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ORVANE_KEY);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, HIJACK_KEY);
    RemoveTree(m_base + "\\Halvex Product");
    RemoveTree(m_base + "\\Lumo Client");

    if (m.location == Location::LumoAfterValuelessKey) {
        if (!CreateDirectoryA((m_base + "\\Lumo Client").c_str(), nullptr))
            return false;
        m_install = m_base + "\\Lumo Client\\Halvex";
    } else {
        m_install = m_base + "\\Halvex Product";
    }
    if (!CreateDirectoryA(m_install.c_str(), nullptr))
        return false;
    if (m.mainExe && !CopyFileA(SigningFixturePath(m.mainExe).c_str(), MainExePath().c_str(), FALSE))
        return false;
    if (m.exe && !CopyFileA(SigningFixturePath(m.exe).c_str(), ExePath().c_str(), FALSE))
        return false;

    switch (m.location) {
    case Location::None:
        break;
    case Location::ProductKey:
        if (!SetString(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "Install", m_install))
            return false;
        break;
    case Location::LumoAfterValuelessKey:
        if (!SetString(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "Version", "1.0") ||
            !SetString(HKEY_LOCAL_MACHINE, LUMO_KEY, "Install", m_base + "\\Lumo Client"))
            return false;
        break;
    case Location::ValuelessKeyOnly:
        if (!SetString(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "Version", "1.0"))
            return false;
        break;
    }
    switch (m.hijack) {
    case Hijack::None:
        break;
    case Hijack::Deletable:
        return SetString(HKEY_LOCAL_MACHINE, HIJACK_KEY, "Debugger", "C:\\evil.exe");
    case Hijack::Undeletable:
        return SetString(HKEY_LOCAL_MACHINE, HIJACK_KEY, "Debugger", "C:\\evil.exe") &&
               CreateKey(HKEY_LOCAL_MACHINE, std::string(HIJACK_KEY) + "\\Keep");
    }
    return true;
}
