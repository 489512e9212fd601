// The application object: runs the repair dialog once and ends, or, started with
// arguments, runs unattended and ends with an exit code.
#pragma once

#include "fw/Afx.h"

class CRepairApp : public CWinApp {
public:
    CRepairApp();
    BOOL InitInstance() override;
    // No message loop: returns the exit code InitInstance decided on.
    int Run() override;

    DECLARE_MESSAGE_MAP()

private:
    int m_nExitCode;
};

extern CRepairApp theApp;
