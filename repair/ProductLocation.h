// Finding the product's install directory in the registry and probing its executables.
#pragma once

#include <windows.h>

// Sets the install directory from the first registry location whose "Install" value can be
// read; shows the missing-path message once for every location that opens but has none.
BOOL LocateProduct();

// Reads the "Install" value of an open key (or null) into the install directory. The key
// stays open: it belongs to the caller.
BOOL ReadInstallValue(HKEY key);

// The product's executable is present and signed by the maker.
BOOL CheckProductExe();
BOOL CheckProductMainExe();

// The low 32 bits of the size of a file in the install directory; 0 for a null name or a
// missing file.
DWORD GetProductFileSize(const char *fileName);
