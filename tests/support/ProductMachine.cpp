#include "tests/support/ProductMachine.h"

#include "tests/support/FileTree.h"
#include "tests/support/FixturePaths.h"
#include "tests/support/RegistryKeys.h"
#include "tests/support/Utf8Paths.h"

const char CProductMachine::ORVANE_KEY[] = "Software\\Orvane";
const char CProductMachine::PRODUCT_KEY[] = "Software\\Orvane\\Halvex";
const char CProductMachine::LUMO_KEY[] = "Software\\Orvane\\Lumo";
const char CProductMachine::HIJACK_KEY[] =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\Halvex.exe";

CProductMachine::~CProductMachine()
{
    UnprotectKey(HKEY_LOCAL_MACHINE, HIJACK_KEY);
}

bool CProductMachine::Prepare(const Machine &m)
{
    // The fixtures' issuer is trusted on this machine, as the maker's root is on a real one.
    if (!TrustSigningRoot())
        return false;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ORVANE_KEY);
    UnprotectKey(HKEY_LOCAL_MACHINE, HIJACK_KEY);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, HIJACK_KEY);
    RemoveTree(m_base + "\\" + m_folder);
    RemoveTree(m_base + "\\Lumo Client");

    if (m.location == Location::LumoAfterValuelessKey) {
        if (!CreateDirectoryW(WidePath(m_base + "\\Lumo Client").c_str(), nullptr))
            return false;
        m_install = m_base + "\\Lumo Client\\Halvex";
    } else {
        m_install = m_base + "\\" + m_folder;
    }
    if (!CreateDirectoryW(WidePath(m_install).c_str(), nullptr))
        return false;
    if (m.mainExe && !CopyFileW(WidePath(SigningFixturePath(m.mainExe)).c_str(), WidePath(MainExePath()).c_str(), FALSE))
        return false;
    if (m.exe && !CopyFileW(WidePath(SigningFixturePath(m.exe)).c_str(), WidePath(ExePath()).c_str(), FALSE))
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
    case Hijack::Unreadable:
        return SetString(HKEY_LOCAL_MACHINE, HIJACK_KEY, "Debugger", "C:\\evil.exe") &&
               ProtectKeyFromReading(HKEY_LOCAL_MACHINE, HIJACK_KEY);
    }
    return true;
}
