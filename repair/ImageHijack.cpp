#include "repair/ImageHijack.h"

#include <windows.h>

namespace {

const wchar_t HIJACK_KEY[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\Halvex.exe";

// Any key of this name redirects the start; what it holds does not matter. Only a key that
// does not exist is no hijack: one closed to us by its access rights is still there.
LONG OpenHijackKey(REGSAM access, HKEY *key)
{
    *key = nullptr;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, HIJACK_KEY, 0, access, key);
}

} // namespace

int RemoveImageHijack()
{
    HKEY key;
    const LONG opened = OpenHijackKey(KEY_READ, &key);
    if (opened == ERROR_FILE_NOT_FOUND)
        return 0;
    if (opened != ERROR_SUCCESS)
        return 2;
    LONG status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, HIJACK_KEY);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 2;
}

int FindImageHijack(ImageHijackState *state)
{
    ImageHijackState found;
    HKEY key;
    const LONG opened = OpenHijackKey(KEY_READ, &key);
    if (opened != ERROR_SUCCESS) {
        // Unreadable: present, and a repair would leave it (it does not delete what it
        // cannot open).
        found.bPresent = opened != ERROR_FILE_NOT_FOUND;
        if (state)
            *state = found;
        return found.bPresent ? 2 : 0;
    }
    found.bPresent = true;
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        found.bHasSubkeys = subkeys != 0;
    RegCloseKey(key);
    // The delete removes only a key without subkeys, and needs the right to delete it.
    HKEY deletable;
    const bool canDelete = OpenHijackKey(DELETE, &deletable) == ERROR_SUCCESS;
    if (canDelete)
        RegCloseKey(deletable);
    if (state)
        *state = found;
    return (canDelete && !found.bHasSubkeys) ? 1 : 2;
}
