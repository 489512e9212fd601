#include "tests/support/MessageBoxWatcher.h"

#include "tests/support/MessageBoxes.h"

#include <process.h>

#include <algorithm>

CMessageBoxWatcher::CMessageBoxWatcher() : m_hThread(nullptr), m_hStop(nullptr) {}

CMessageBoxWatcher::~CMessageBoxWatcher()
{
    Stop();
}

void CMessageBoxWatcher::Start()
{
    Stop();
    m_texts.clear();
    m_closed.clear();
    m_hStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, this, 0, nullptr));
}

std::vector<std::string> CMessageBoxWatcher::Stop()
{
    if (m_hThread) {
        SetEvent(m_hStop);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    if (m_hStop) {
        CloseHandle(m_hStop);
        m_hStop = nullptr;
    }
    return m_texts;
}

unsigned __stdcall CMessageBoxWatcher::ThreadMain(void *param)
{
    CMessageBoxWatcher *self = static_cast<CMessageBoxWatcher *>(param);
    while (WaitForSingleObject(self->m_hStop, 20) == WAIT_TIMEOUT)
        self->Poll();
    return 0;
}

void CMessageBoxWatcher::Poll()
{
    for (HWND box : DialogWindowsOf(GetCurrentProcessId())) {
        // A closed box may still be listed until its owner's loop has run.
        if (!IsWindowVisible(box) || std::find(m_closed.begin(), m_closed.end(), box) != m_closed.end())
            continue;
        m_texts.push_back(MessageBoxText(box));
        m_closed.push_back(box);
        AnswerMessageBox(box);
    }
}
