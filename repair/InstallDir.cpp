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
