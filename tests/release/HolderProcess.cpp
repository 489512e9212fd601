#include "tests/release/HolderProcess.h"

#include "tests/support/TestPaths.h"
#include "tests/support/Utf8Paths.h"

#include <string>

namespace {

std::string Quote(const std::string &arg)
{
    return "\"" + arg + "\"";
}

HANDLE MakeEvent(const std::string &token, const char *what)
{
    std::string name = "Local\\HalvexHolder" + std::string(what) + "-" + token;
    return CreateEventA(nullptr, TRUE, FALSE, name.c_str());
}

} // namespace

HolderProcess::~HolderProcess()
{
    if (m_hProcess) {
        if (WaitForSingleObject(m_hProcess, 0) != WAIT_OBJECT_0)
            TerminateProcess(m_hProcess, 1);
        WaitForSingleObject(m_hProcess, 10000);
        CloseHandle(m_hProcess);
    }
    for (HANDLE h : {m_hReady, m_hCheck, m_hDone})
        if (h)
            CloseHandle(h);
    if (!m_strReport.empty())
        DeleteFileW(WidePath(m_strReport).c_str());
}

bool HolderProcess::Start(const std::vector<std::string> &files, const std::string &filler, long fillerCount)
{
    static LONG s_nSerial = 0;
    std::string token = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(InterlockedIncrement(&s_nSerial));
    m_hReady = MakeEvent(token, "Ready");
    m_hCheck = MakeEvent(token, "Check");
    m_hDone = MakeEvent(token, "Done");
    if (!m_hReady || !m_hCheck || !m_hDone)
        return false;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_strReport = Utf8Path(temp) + "holder-report-" + token + ".txt";
    m_nFiles = files.size();

    std::string command = Quote(ExeDir() + "\\HandleHolder.exe") + " " + token + " " + Quote(m_strReport) + " " +
                          Quote(filler.empty() ? std::string("NUL") : filler) + " " + std::to_string(fillerCount);
    for (const std::string &file : files)
        command += " " + Quote(file);
    // Paths are UTF-8: the holder gets them whole as UTF-16.
    std::wstring wideCommand = WidePath(command);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const std::wstring workDir = WidePath(m_strWorkDir);
    if (!CreateProcessW(nullptr, &wideCommand[0], nullptr, nullptr, FALSE, 0, nullptr,
                        m_strWorkDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    m_hProcess = pi.hProcess;
    m_nProcessId = pi.dwProcessId;
    HANDLE waits[] = {m_hReady, m_hProcess};
    return WaitForMultipleObjects(2, waits, FALSE, 300000) == WAIT_OBJECT_0;
}

bool HolderProcess::Report(std::vector<bool> *open, long *fillerOpen)
{
    SetEvent(m_hCheck);
    HANDLE waits[] = {m_hDone, m_hProcess};
    if (WaitForMultipleObjects(2, waits, FALSE, 60000) != WAIT_OBJECT_0)
        return false;
    HANDLE in = CreateFileW(WidePath(m_strReport).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    char buffer[4096];
    DWORD got = 0;
    ReadFile(in, buffer, sizeof(buffer) - 1, &got, nullptr);
    CloseHandle(in);
    buffer[got] = 0;
    open->clear();
    const char *p = buffer;
    for (size_t i = 0; i < m_nFiles; ++i, p += 2) {
        if (p[0] != '0' && p[0] != '1')
            return false;
        open->push_back(p[0] == '1');
    }
    *fillerOpen = strtol(p, nullptr, 10);
    return true;
}
