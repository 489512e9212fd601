// Where the text of a command-line run goes: standard output when it is redirected to a
// file or a pipe, otherwise the console of the process that started the tool (a GUI program
// has none of its own), otherwise nowhere.
//
// A console gets UTF-16 through WriteConsoleW, so Chinese shows whatever its code page.
// Redirected output is bytes in the console's output code page (what `chcp` shows: 936 on a
// Chinese system), as every console program writes it, so that `type`, `findstr`, `more`
// and PowerShell's capture of a program's output read it; without a console, the system's
// OEM code page, which is what a console would start with.
#pragma once

#include <windows.h>

#include <string>

class CConsoleOutput {
public:
    CConsoleOutput() = default;
    ~CConsoleOutput();
    CConsoleOutput(const CConsoleOutput &) = delete;
    CConsoleOutput &operator=(const CConsoleOutput &) = delete;

    // Finds the place; true when there is one.
    bool Open();
    // Writes UTF-8 text with CR LF line ends.
    void Write(const std::string &utf8);

private:
    HANDLE m_hOut = nullptr;
    bool m_bConsole = false;    // WriteConsoleW to m_hOut
    bool m_bAttached = false;   // attached to the parent's console, to be freed
    bool m_bOwnHandle = false;  // m_hOut was opened here
    bool m_bStarted = false;
    UINT m_nCodePage = CP_OEMCP;
};
