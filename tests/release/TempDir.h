// A fresh empty directory under the temporary directory, removed with its files.
#pragma once

#include <string>

class TempDir
{
public:
    TempDir();
    ~TempDir();
    const std::string &Path() const { return m_strPath; }
    // Creates path (relative; subdirectories made as needed) with some bytes in it.
    std::string Create(const std::string &relative);

private:
    std::string m_strPath;
};
