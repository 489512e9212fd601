// A machine prepared for the tool: the install keys, the product's executables (signed
// fixtures) in a directory with a space, and the image-hijack key. The registry keys it
// touches are put back as they were when the object goes.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/RegistryBackup.h"

enum class Location {
    None,                   // no install key at all
    ProductKey,             // location 1 names the directory
    LumoAfterValuelessKey,  // location 1 without "Install", location 2 names the parent
    ValuelessKeyOnly,       // location 1 without "Install", no location 2
};

// Unreadable: the key denies Administrators reading it.
enum class Hijack { None, Deletable, Undeletable, Unreadable };

// The machine before the tool starts. A null fixture leaves the file out.
struct Machine {
    Location location;
    Hijack hijack;
    const char *mainExe;  // becomes HalvexMain.exe
    const char *exe;      // becomes Halvex.exe
};

class CProductMachine {
public:
    static const char ORVANE_KEY[];
    static const char PRODUCT_KEY[];
    static const char LUMO_KEY[];
    static const char HIJACK_KEY[];

    // base: a directory of the test's own; the product goes below it, into a folder of
    // this name (UTF-8, like every path here).
    explicit CProductMachine(const std::string &base, const std::string &folder = "Halvex Product")
        : m_base(base), m_folder(folder)
    {
    }
    // An unreadable hijack key is opened up again before the backups put the keys back.
    ~CProductMachine();

    // Puts the machine into the given state; Install() becomes the directory the tool
    // should find. False (with nothing more done) on the first step that fails.
    bool Prepare(const Machine &m);

    const std::string &Install() const { return m_install; }
    std::string MainExePath() const { return m_install + "\\HalvexMain.exe"; }
    std::string ExePath() const { return m_install + "\\Halvex.exe"; }

private:
    std::string m_base;
    std::string m_folder;
    std::string m_install;
    CRegistryBackup m_orvane{HKEY_LOCAL_MACHINE, ORVANE_KEY};
    CRegistryBackup m_hijack{HKEY_LOCAL_MACHINE, HIJACK_KEY};
};
