#include "repair/ProductLocation.h"

#include "fw/AfxMessageBox.h"
#include "repair/InstallDir.h"
#include "repair/SignatureVerifier.h"

#include <string.h>

#include <string>

namespace {

const char PRODUCT_KEY[] = "Software\\Orvane\\Halvex";
const char MESSENGER_KEY[] = "Software\\Orvane\\Lumo";
const DWORD INSTALL_VALUE_SIZE = 260;

BOOL ProbeProductFile(const char *fileName)
{
    const std::string path = MakeProductPath(fileName);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
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
    char value[INSTALL_VALUE_SIZE] = {};
    DWORD size = INSTALL_VALUE_SIZE;
    LONG status = RegQueryValueExA(key, "Install", nullptr, nullptr,
                                   reinterpret_cast<BYTE *>(value), &size);
    // A value that fills the buffer without a terminating zero is as unreadable as a longer
    // one: its end is not in the buffer.
    if (status == ERROR_SUCCESS && size >= INSTALL_VALUE_SIZE &&
        !memchr(value, 0, INSTALL_VALUE_SIZE))
        status = ERROR_MORE_DATA;
    // A value that is not an absolute path names no install directory at all.
    if (status == ERROR_SUCCESS && !IsAbsoluteInstallPath(value))
        status = ERROR_BAD_PATHNAME;
    if (status != ERROR_SUCCESS) {
        notice.MissingInstallPath("注册表不存在安装路径,请重新安装Halvex!");
        return FALSE;
    }
    SetInstallDir(value);
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
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRODUCT_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        BOOL found = ReadInstallValue(key, notice);
        RegCloseKey(key);
        if (found) {
            if (foundKey)
                *foundKey = PRODUCT_KEY;
            return TRUE;
        }
    }
    key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, MESSENGER_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
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
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(find);
    return data.nFileSizeLow;
}
