// Loading the platform's libraries at run time, safely for an elevated process.
#pragma once

#include <windows.h>

// Loads a library from the system directory only, never from the program's folder, the
// current directory or the search path, where a planted copy could be waiting.
HMODULE LoadSystemLibrary(const char *name);

// Limits every later library load of the process, the system's own DLLs pulling in others
// included, to the system directory. False when the system lacks the search flags; the
// current directory then at least leaves the search. Also loads, from the system directory,
// the libraries that system DLLs look up later on their own.
bool LimitLibrarySearch();
