#include "tests/support/FileContents.h"

#include <sstream>

#include "tests/support/Utf8Paths.h"

bool ReadFileBytes(const std::string &path, std::string &bytes)
{
    bytes.clear();
    HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char buffer[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof(buffer), &got, nullptr) != FALSE) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return ok;
}

std::vector<std::string> LinesOf(const std::string &path)
{
    std::vector<std::string> lines;
    std::string bytes;
    if (!ReadFileBytes(path, bytes))
        return lines;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> WaitForLines(const std::string &path, size_t count, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    std::vector<std::string> lines = LinesOf(path);
    while (lines.size() < count && GetTickCount() - start < timeoutMs) {
        Sleep(20);
        lines = LinesOf(path);
    }
    return lines;
}
