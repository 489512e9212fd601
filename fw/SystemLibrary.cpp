#include "fw/SystemLibrary.h"

#include "fw/TextConversion.h"

#include <string.h>

namespace {

// The flag's value, for headers that predate it.
const DWORD SEARCH_SYSTEM32 = 0x00000800;   // LOAD_LIBRARY_SEARCH_SYSTEM32

typedef BOOL(WINAPI *SetDefaultDllDirectoriesFn)(DWORD);

} // namespace

HMODULE LoadSystemLibrary(const char *name)
{
    const WideText wideName = PathToWide(name);
    HMODULE module = LoadLibraryExW(wideName.data(), nullptr, SEARCH_SYSTEM32);
    if (module)
        return module;
    // Systems without the search flags refuse it: the full path does the same.
    wchar_t path[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n + 1 + wideName.size() > MAX_PATH)
        return nullptr;
    lstrcatW(path, L"\\");
    lstrcatW(path, wideName.data());
    return LoadLibraryW(path);
}

bool LimitLibrarySearch()
{
    // Looked up, not imported: Windows 7 without its 2011 loader update lacks the function,
    // and the exe must still start there.
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    SetDefaultDllDirectoriesFn setDefault =
        kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                     reinterpret_cast<void *>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
               : nullptr;
    if (setDefault && setDefault(SEARCH_SYSTEM32))
        return true;
    SetDllDirectoryW(L"");
    return false;
}
