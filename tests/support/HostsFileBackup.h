// Keeps the system hosts file as it was before a test: bytes and attributes are read by the
// constructor and put back by Restore and the destructor (a file that did not exist is
// removed again).
#pragma once

#include <windows.h>

#include <string>

class CHostsFileBackup {
public:
    CHostsFileBackup();
    ~CHostsFileBackup();
    CHostsFileBackup(const CHostsFileBackup &) = delete;
    CHostsFileBackup &operator=(const CHostsFileBackup &) = delete;

    static std::string Path();
    // Replaces the file's content and sets its attributes (FILE_ATTRIBUTE_NORMAL or e.g.
    // FILE_ATTRIBUTE_READONLY).
    static bool Write(const std::string &content, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
    // The file's bytes, or false when it cannot be read.
    static bool Read(std::string &content);
    void Restore();

private:
    bool m_bExisted;
    std::string m_strContent;
    DWORD m_nAttributes;
};
