// CAboutDlg: the program's name and version, and the way to its help file.
#pragma once

#include "Dialog.h"
#include "Handles.h"

class CAboutDlg : public tw::CDialog {
public:
    CAboutDlg();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // The help button bears the cancel id: Escape and the close box open the help too,
    // and only OK closes the box.
    void OnHelp();
    LRESULT OnCtlColor(UINT msg, WPARAM wParam, LPARAM lParam);

    tw::UniqueBrush m_background;
};
