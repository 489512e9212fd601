#include "tests/support/FileTree.h"

#include <windows.h>

#include "tests/support/Utf8Paths.h"

std::string FreshTestDir(const char *name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::string dir = Utf8Path(temp) + name + " " + std::to_string(GetCurrentProcessId());
    RemoveTree(dir);
    return CreateDirectoryW(WidePath(dir).c_str(), nullptr) ? dir : std::string();
}

void RemoveTree(const std::string &dir)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(WidePath(dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = Utf8Path(data.cFileName);
            if (name == "." || name == "..")
                continue;
            const std::string path = dir + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                const std::wstring wide = WidePath(path);
                SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
                for (int i = 0; i < 100 && !DeleteFileW(wide.c_str()); ++i)
                    Sleep(50);
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(WidePath(dir).c_str());
}

std::vector<std::string> NumberedCopies(const std::string &dir)
{
    std::vector<std::string> copies;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(WidePath(dir + "\\*.exe").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return copies;
    do {
        const std::string name = Utf8Path(data.cFileName);
        const std::string stem = name.substr(0, name.size() - 4);
        if (!stem.empty() && stem.find_first_not_of("0123456789") == std::string::npos)
            copies.push_back(dir + "\\" + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return copies;
}
