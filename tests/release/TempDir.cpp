#include "tests/release/TempDir.h"

#include <windows.h>

#include "tests/support/FileTree.h"

TempDir::TempDir()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static LONG s_nSerial = 0;
    m_strPath = std::string(temp) + "release-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount()) + "-" + std::to_string(InterlockedIncrement(&s_nSerial));
    CreateDirectoryA(m_strPath.c_str(), nullptr);
}

TempDir::~TempDir()
{
    RemoveTree(m_strPath);
}

std::string TempDir::Create(const std::string &relative)
{
    std::string path = m_strPath + "\\" + relative;
    for (size_t slash = path.find('\\', m_strPath.size() + 1); slash != std::string::npos;
         slash = path.find('\\', slash + 1))
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(h, "MZ held", 7, &written, nullptr);
        CloseHandle(h);
    }
    return path;
}
