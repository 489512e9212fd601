// Reading the files a test's programs write: whole, as lines, or as lines still being
// appended by another process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The file's bytes, exactly; false when it cannot be opened or read. Others may hold it
// open for reading or writing meanwhile.
bool ReadFileBytes(const std::string &path, std::string &bytes);

// The file's lines without their line ends (LF or CR LF); none when it cannot be read.
std::vector<std::string> LinesOf(const std::string &path);

// Polls for a file's lines until there are at least count of them or timeoutMs pass;
// returns the lines last read.
std::vector<std::string> WaitForLines(const std::string &path, size_t count, DWORD timeoutMs = 10000);
