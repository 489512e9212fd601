// Finding, reading and answering the message boxes of a process, from any process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The process's top-level dialog windows (#32770): its dialogs and its message boxes.
std::vector<HWND> DialogWindowsOf(DWORD processId);

// The text of a window, also of another process (WM_GETTEXT as UTF-16, bounded in time), as
// UTF-8: what the window holds, whatever the system's code page.
std::string WindowTextOf(HWND hWnd);

// The message of a message box, as UTF-8.
std::string MessageBoxText(HWND box);

// Presses OK, or Cancel where the box has no OK button.
void AnswerMessageBox(HWND box);
