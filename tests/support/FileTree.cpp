#include "tests/support/FileTree.h"

#include <windows.h>

std::string FreshTestDir(const char *name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + name + " " + std::to_string(GetCurrentProcessId());
    RemoveTree(dir);
    return CreateDirectoryA(dir.c_str(), nullptr) ? dir : std::string();
}

void RemoveTree(const std::string &dir)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                for (int i = 0; i < 100 && !DeleteFileA(path.c_str()); ++i)
                    Sleep(50);
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}
