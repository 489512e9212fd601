// Starts HandleHolder.exe (next to the running exe) holding files open, and collects its
// report of which handles survived.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class HolderProcess
{
public:
    HolderProcess() = default;
    HolderProcess(const HolderProcess &) = delete;
    HolderProcess &operator=(const HolderProcess &) = delete;
    ~HolderProcess();

    // Holds each of files once and filler fillerCount times; returns once all are open.
    bool Start(const std::vector<std::string> &files, const std::string &filler = std::string(),
               long fillerCount = 0);
    DWORD ProcessId() const { return m_nProcessId; }
    // The holder's current directory (a directory handle of its own); before Start.
    void SetWorkingDirectory(const std::string &dir) { m_strWorkDir = dir; }

    // Asks the holder which handles are still open (one flag per file, in order) and
    // how many filler handles are; the holder then ends.
    bool Report(std::vector<bool> *open, long *fillerOpen);

private:
    HANDLE m_hProcess = nullptr;
    DWORD m_nProcessId = 0;
    HANDLE m_hReady = nullptr;
    HANDLE m_hCheck = nullptr;
    HANDLE m_hDone = nullptr;
    std::string m_strReport;
    std::string m_strWorkDir;
    size_t m_nFiles = 0;
};
