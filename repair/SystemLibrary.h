// Loading the platform's libraries at run time, safely for an elevated process.
#pragma once

#include <windows.h>

// Loads a library from the system directory only, never from the program's folder, the
// current directory or the search path, where a planted copy could be waiting.
HMODULE LoadSystemLibrary(const char *name);
