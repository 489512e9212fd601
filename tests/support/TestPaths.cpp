#include "tests/support/TestPaths.h"

#include <windows.h>

std::string ExeDir()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string file(path, length);
    return file.substr(0, file.find_last_of('\\'));
}

std::string ToolPath()
{
    return ExeDir() + "\\HalvexFix.exe";
}
