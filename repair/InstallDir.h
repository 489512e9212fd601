// The product's install directory: one process-wide ANSI string, written only when the
// product is located. Every product path is the install directory, "\" and a file name.
#pragma once

#include <string>

const char *GetInstallDir();
void SetInstallDir(const char *dir);

// Install directory + "\" + fileName.
std::string MakeProductPath(const char *fileName);
