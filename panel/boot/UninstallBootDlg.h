// CUninstallBootDlg: the removal runs on the first tick, then a bar fills and "完成" becomes usable.
#pragma once

#include "Controls.h"
#include "Dialog.h"
#include "ProgressDialogColours.h"

class CUninstallBootDlg : public tw::CDialog {
public:
    CUninstallBootDlg();

    // Whether the first tick came and the removal ran before the dialog closed.
    bool RemovalRan() const { return m_state != kWaiting; }

protected:
    void DoDataExchange(tw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    enum State { kWaiting, kRemoved, kFinished };

    // void OnTimer(UINT_PTR id)
    void OnTimer(UINT_PTR id);
    void OnRemoveTimer();
    void OnProgressTimer();

    tw::CButton m_finishButton;
    tw::CProgressCtrl m_progress;
    CProgressDialogColours m_colours;
    State m_state = kWaiting;
    int m_counter = 0;
};
