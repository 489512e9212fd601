// The product's install directory: one process-wide string, written only when the product
// is located. Every product path is the install directory, "\" and a file name. Paths are
// UTF-8, so that a folder name keeps every character whatever the system's code page.
#pragma once

#include <string>

// The product's two executables, fixed names in the install directory.
extern const char PRODUCT_EXE[];      // "Halvex.exe"
extern const char PRODUCT_MAIN_EXE[]; // "HalvexMain.exe"

const char *GetInstallDir();
void SetInstallDir(const char *dir);

// Whether a registry value may serve as the install directory: an absolute path with a
// drive ("C:\...") or a UNC share ("\\server\share..."). Anything else would be resolved
// against the current drive or directory, which any user can create folders in.
bool IsAbsoluteInstallPath(const char *dir);

// Install directory + "\" + fileName.
std::string MakeProductPath(const char *fileName);
