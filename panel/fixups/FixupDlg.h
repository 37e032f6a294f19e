// CFixupDlg: the post-restore fix-up dialog, which runs its steps from timers behind a progress bar.
#pragma once

#include "SkinButton.h"
#include "TimedProgressDlg.h"

class CFixupDlg : public CTimedProgressDlg {
public:
    CFixupDlg();

protected:
    void DoDataExchange(tw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // The network step first; the browser repair and the autostart cleanup last.
    void RunStep(Step step) override;

private:
    CSkinButton m_doneButton;
};
