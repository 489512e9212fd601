#include "repair/SystemLibrary.h"

#include <wchar.h>

#include "fw/TextConversion.h"

HMODULE LoadSystemLibrary(const char *name)
{
    if (!name)
        return nullptr;
    const WideText wideName = ToolToWide(name);
    // The flag's value, for headers that predate it.
    const DWORD LOAD_FROM_SYSTEM32 = 0x00000800;
    HMODULE module = LoadLibraryExW(wideName.data(), nullptr, LOAD_FROM_SYSTEM32);
    if (module)
        return module;
    // Systems without the search flags refuse it: the full path does the same.
    wchar_t path[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n + 1 + wcslen(wideName.data()) >= MAX_PATH)
        return nullptr;
    wcscat(path, L"\\");
    wcscat(path, wideName.data());
    return LoadLibraryW(path);
}
