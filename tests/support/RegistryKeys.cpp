#include "tests/support/RegistryKeys.h"

#include <sddl.h>

#include "tests/support/Utf8Paths.h"

bool KeyExists(HKEY root, const std::string &path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool CreateKey(HKEY root, const std::string &path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool SetString(HKEY root, const std::string &path, const char *name, const std::string &value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    // UTF-8, stored as the system stores every string: UTF-16.
    const std::wstring wideName = WidePath(name ? name : "");
    const std::wstring wideValue = WidePath(value);
    LONG rc = RegSetValueExW(key, name ? wideName.c_str() : nullptr, 0, REG_SZ,
                             reinterpret_cast<const BYTE *>(wideValue.c_str()),
                             static_cast<DWORD>((wideValue.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

namespace {

bool SetKeyDacl(HKEY root, const std::string &path, const wchar_t *sddl)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR sd = nullptr;
    bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr) &&
              RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
    LocalFree(sd);
    RegCloseKey(key);
    return ok;
}

} // namespace

bool ProtectKeyFromReading(HKEY root, const std::string &path)
{
    return SetKeyDacl(root, path, L"D:P(D;;KR;;;BA)(A;;KA;;;BA)(A;;KA;;;SY)");
}

bool UnprotectKey(HKEY root, const std::string &path)
{
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status == ERROR_SUCCESS)
        RegCloseKey(key);
    return SetKeyDacl(root, path, L"D:P(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CI;KR;;;WD)");
}

bool KeyExistsUnreadable(HKEY root, const std::string &path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_ACCESS_DENIED) {
        if (key)
            RegCloseKey(key);
        return false;
    }
    if (RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
