// Watches this process for message boxes while a test runs: each one found has its text
// recorded and is closed with OK (or Cancel when there is no OK button).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CMessageBoxWatcher {
public:
    CMessageBoxWatcher();
    ~CMessageBoxWatcher();

    void Start();
    // Stops watching and returns the texts seen, in order.
    std::vector<std::string> Stop();

private:
    static unsigned __stdcall ThreadMain(void *param);
    void Poll();

    HANDLE m_hThread;
    HANDLE m_hStop;
    std::vector<std::string> m_texts;
    std::vector<HWND> m_closed;
};
