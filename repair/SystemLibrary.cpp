#include "repair/SystemLibrary.h"

#include <string.h>

HMODULE LoadSystemLibrary(const char *name)
{
    // The flag's value, for headers that predate it.
    const DWORD LOAD_FROM_SYSTEM32 = 0x00000800;
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_FROM_SYSTEM32);
    if (module)
        return module;
    // Systems without the search flags refuse it: the full path does the same.
    char path[MAX_PATH] = {};
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n + 1 + strlen(name) >= MAX_PATH)
        return nullptr;
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    return LoadLibraryA(path);
}
