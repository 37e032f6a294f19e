// CCloseChoiceDlg: asks, when the panel is closed, whether to keep running in the background or to exit.
#pragma once

#include "Dialog.h"

// The program-wide close choice: 0 before first use, 1 run in the background, 2 exit.
extern int g_closeChoice;

class CCloseChoiceDlg : public tw::CDialog {
public:
    explicit CCloseChoiceDlg(tw::CWnd* parent);

protected:
    BOOL OnInitDialog() override;
    // Background hides the main window; exit posts the quit that ends every modal loop.
    void OnOK() override;
    bool OnCommand(int id, int code, HWND control) override;
};
