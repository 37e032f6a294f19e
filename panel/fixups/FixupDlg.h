// CFixupDlg: the post-restore fix-up dialog, which runs its steps from timers behind a progress bar.
#pragma once

#include "Controls.h"
#include "Dialog.h"
#include "ProgressDialogColours.h"
#include "SkinButton.h"

class CFixupDlg : public tw::CDialog {
public:
    CFixupDlg();

protected:
    void DoDataExchange(tw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    enum State { kNotStarted, kRunning, kDone };

    void OnTimer(UINT_PTR id);
    void OnDestroy();
    void OnRepairDone();

    void RunNetworkStep();
    void RunFinalSteps();

    tw::CProgressCtrl m_progress;
    CSkinButton m_doneButton;
    CProgressDialogColours m_colours;
    State m_state = kNotStarted;
    int m_counter = 0;
};
