#include "repair/InstallDir.h"

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
