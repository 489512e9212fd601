#include "fw/SystemLibrary.h"

#include "fw/TextConversion.h"


namespace {

// The flag's value, for headers that predate it.
const DWORD SEARCH_SYSTEM32 = 0x00000800;   // LOAD_LIBRARY_SEARCH_SYSTEM32

typedef BOOL(WINAPI *SetDefaultDllDirectoriesFn)(DWORD);

HMODULE LoadFromSystemDirectory(const wchar_t *name)
{
    HMODULE module = LoadLibraryExW(name, nullptr, SEARCH_SYSTEM32);
    if (module)
        return module;
    // Systems without the search flags refuse it: the full path does the same.
    wchar_t path[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n + 1 + lstrlenW(name) >= MAX_PATH)
        return nullptr;
    lstrcatW(path, L"\\");
    lstrcatW(path, name);
    return LoadLibraryW(path);
}

// Libraries that system DLLs load later in a run by a lookup of their own, not through the
// process's default directories: Wine resolves its DLLs' delay imports along the default
// path, the exe's folder first (imm32 asks for ole32 as the first window is made, wintrust for
// imagehlp at the first signature check). Loaded now from the system directory, each is then
// found by name. A normal run loads every one of them anyway.
const wchar_t *const LOADED_LATER_BY_THE_SYSTEM[] = {L"ole32.dll", L"imagehlp.dll"};

} // namespace

HMODULE LoadSystemLibrary(const char *name)
{
    return LoadFromSystemDirectory(PathToWide(name).data());
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
    const bool limited = setDefault && setDefault(SEARCH_SYSTEM32);
    if (!limited)
        SetDllDirectoryW(L"");
    for (const wchar_t *name : LOADED_LATER_BY_THE_SYSTEM)
        LoadFromSystemDirectory(name);
    return limited;
}
