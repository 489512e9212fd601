#include "repair/InstallDir.h"

const char PRODUCT_EXE[] = "Halvex.exe";
const char PRODUCT_MAIN_EXE[] = "HalvexMain.exe";

namespace {

std::string &InstallDir()
{
    static std::string dir;
    return dir;
}

} // namespace

const char *GetInstallDir()
{
    return InstallDir().c_str();
}

void SetInstallDir(const char *dir)
{
    InstallDir() = dir ? dir : "";
}

std::string MakeProductPath(const char *fileName)
{
    std::string path = InstallDir();
    path += '\\';
    if (fileName)
        path += fileName;
    return path;
}

bool IsAbsoluteInstallPath(const char *dir)
{
    if (!dir)
        return false;
    const bool letter = (dir[0] >= 'A' && dir[0] <= 'Z') || (dir[0] >= 'a' && dir[0] <= 'z');
    if (letter && dir[1] == ':' && dir[2] == '\\')
        return true;
    if (dir[0] != '\\' || dir[1] != '\\')
        return false;
    // "\\server\share": both parts present; "\\?\" and "\\.\" device paths are not shares.
    const char *server = dir + 2;
    const char *end = server;
    while (*end && *end != '\\')
        ++end;
    if (end == server || *end != '\\' || (end - server == 1 && (*server == '?' || *server == '.')))
        return false;
    const char *share = end + 1;
    return *share && *share != '\\';
}
