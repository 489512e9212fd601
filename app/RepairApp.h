// The application object: runs the repair dialog once and ends.
#pragma once

#include "fw/Afx.h"

class CRepairApp : public CWinApp {
public:
    CRepairApp();
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CRepairApp theApp;
