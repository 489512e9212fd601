#include "repair/ProductLocation.h"

#include "fw/AfxMessageBox.h"
#include "fw/TextConversion.h"
#include "repair/InstallDir.h"
#include "repair/SignatureVerifier.h"

#include <string.h>

#include <string>

namespace {

const char PRODUCT_KEY[] = "Software\\Orvane\\Halvex";
const char MESSENGER_KEY[] = "Software\\Orvane\\Lumo";
const wchar_t PRODUCT_KEY_W[] = L"Software\\Orvane\\Halvex";
const wchar_t MESSENGER_KEY_W[] = L"Software\\Orvane\\Lumo";
// Characters of a string value, bytes of any other: the buffer of the install value.
const DWORD INSTALL_VALUE_CHARS = 260;

BOOL ProbeProductFile(const char *fileName)
{
    const std::string path = MakeProductPath(fileName);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(PathToWide(path.c_str()).data(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return FALSE;
    FindClose(find);
    return IsSignedByMaker(path.c_str());
}

class CMessageBoxNotice : public InstallPathNotice {
public:
    void MissingInstallPath(const char *text) override { AfxMessageBox(text, MB_OK); }
};

} // namespace

BOOL ReadInstallValue(HKEY key)
{
    CMessageBoxNotice notice;
    return ReadInstallValue(key, notice);
}

BOOL ReadInstallValue(HKEY key, InstallPathNotice &notice)
{
    if (!key)
        return FALSE;
    wchar_t value[INSTALL_VALUE_CHARS] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof(value);
    LONG status = RegQueryValueExW(key, L"Install", nullptr, &type, reinterpret_cast<BYTE *>(value), &size);
    std::string dir;
    if (status == ERROR_SUCCESS) {
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
            // A value that fills the buffer without a terminating zero is as unreadable as a
            // longer one: its end is not in the buffer.
            const size_t chars = size / sizeof(wchar_t);
            const size_t length = wcsnlen(value, chars);
            if (length >= INSTALL_VALUE_CHARS)
                status = ERROR_MORE_DATA;
            else
                dir = WideToPath(value, static_cast<int>(length));
        } else {
            // Bytes that are no string: a path in the system's code page, as such values
            // have always been read, in a buffer of as many bytes.
            const char *bytes = reinterpret_cast<const char *>(value);
            const size_t length = strnlen(bytes, size);
            if (size > INSTALL_VALUE_CHARS || length >= INSTALL_VALUE_CHARS)
                status = ERROR_MORE_DATA;
            else
                dir = ToUtf8(std::string(bytes, length), CP_ACP);
        }
    }
    // A value that is not an absolute path names no install directory at all.
    if (status == ERROR_SUCCESS && !IsAbsoluteInstallPath(dir.c_str()))
        status = ERROR_BAD_PATHNAME;
    if (status != ERROR_SUCCESS) {
        notice.MissingInstallPath("注册表不存在安装路径,请重新安装Halvex!");
        return FALSE;
    }
    SetInstallDir(dir.c_str());
    return TRUE;
}

BOOL LocateProduct()
{
    CMessageBoxNotice notice;
    return LocateProduct(notice, nullptr);
}

BOOL LocateProduct(InstallPathNotice &notice, const char **foundKey)
{
    if (foundKey)
        *foundKey = nullptr;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PRODUCT_KEY_W, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        BOOL found = ReadInstallValue(key, notice);
        RegCloseKey(key);
        if (found) {
            if (foundKey)
                *foundKey = PRODUCT_KEY;
            return TRUE;
        }
    }
    key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, MESSENGER_KEY_W, 0, KEY_READ, &key) != ERROR_SUCCESS)
        key = nullptr;
    BOOL found = ReadInstallValue(key, notice);
    if (key)
        RegCloseKey(key);
    if (!found)
        return FALSE;
    SetInstallDir((std::string(GetInstallDir()) + "\\Halvex").c_str());
    if (foundKey)
        *foundKey = MESSENGER_KEY;
    return TRUE;
}

BOOL CheckProductExe()
{
    return ProbeProductFile(PRODUCT_EXE);
}

BOOL CheckProductMainExe()
{
    return ProbeProductFile(PRODUCT_MAIN_EXE);
}

DWORD GetProductFileSize(const char *fileName)
{
    if (!fileName)
        return 0;
    const std::string path = MakeProductPath(fileName);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(PathToWide(path.c_str()).data(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(find);
    return data.nFileSizeLow;
}
