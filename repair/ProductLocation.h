// Finding the product's install directory in the registry and probing its executables.
#pragma once

#include <windows.h>

// Told of every install key that opens but has no readable "Install" value. The window
// shows the text in a message box; an unattended run records it instead.
class InstallPathNotice {
public:
    virtual ~InstallPathNotice() = default;
    virtual void MissingInstallPath(const char *text) = 0;
};

// Sets the install directory from the first registry location whose "Install" value can be
// read; shows the missing-path message once for every location that opens but has none.
BOOL LocateProduct();

// The same, telling notice instead of showing the message. foundKey, when given, receives
// the key below HKEY_LOCAL_MACHINE that gave the directory (null when none did).
BOOL LocateProduct(InstallPathNotice &notice, const char **foundKey);

// Reads the "Install" value of an open key (or null) into the install directory. The key
// stays open: it belongs to the caller.
BOOL ReadInstallValue(HKEY key);
BOOL ReadInstallValue(HKEY key, InstallPathNotice &notice);

// The product's executable is present and signed by the maker.
BOOL CheckProductExe();
BOOL CheckProductMainExe();

// The low 32 bits of the size of a file in the install directory; 0 for a null name or a
// missing file.
DWORD GetProductFileSize(const char *fileName);
