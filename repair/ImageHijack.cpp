#include "repair/ImageHijack.h"

#include <windows.h>

namespace {

const char HIJACK_KEY[] =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\Halvex.exe";

} // namespace

int RemoveImageHijack()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, HIJACK_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    // Any key of this name redirects the start; what it holds does not matter.
    LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, HIJACK_KEY);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 2;
}
