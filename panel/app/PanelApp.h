// CPanelApp: start-up of the control panel (single copy, post-restore handshake, colours, main window).
#pragma once

#include "Handles.h"
#include "WinApp.h"

#include <cstdio>

class CPanelApp : public tw::CWinApp {
public:
    bool InitInstance() override;

private:
    // Shows the running copy's window (also when hidden) in front.
    static void BringBackFirstCopy();
    void RunPostRestoreHandshake();
    static void FinishHandshake(FILE* settings);

    tw::UniqueKernelHandle m_instanceMutex;  // held for the life of the process
};

extern CPanelApp theApp;
