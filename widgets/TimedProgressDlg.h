// CTimedProgressDlg: a modal dialog that does its work from timers behind a ten-step progress bar.
#pragma once

#include "Controls.h"
#include "Dialog.h"
#include "ProgressDialogColours.h"

// One second after opening, the first step runs (timer 7); the bar then moves one
// step every 300 ms (timer 8); one tick after it is full the last step runs and
// the finish button becomes usable, about 4.3 seconds after opening. The finish
// button ends the dialog with OK; the cancel command ends it at any moment.
class CTimedProgressDlg : public tw::CDialog {
public:
    // Whether the first step ran before the dialog closed.
    bool StepsStarted() const { return m_state != State::kWaiting; }

protected:
    enum class Step { kFirst, kLast };

    CTimedProgressDlg(UINT templateId, int progressId, int finishButtonId);

    // The dialog's work, run on the user-interface thread inside the timer messages.
    virtual void RunStep(Step step) = 0;
    bool StepsFinished() const { return m_state == State::kFinished; }

    void DoDataExchange(tw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    enum class State { kWaiting, kRunning, kFinished };

    void OnTimer(UINT_PTR id);
    void OnFirstStepTimer();
    void OnProgressTimer();
    void OnDestroy();

    int m_progressId;
    int m_finishButtonId;
    tw::CProgressCtrl m_progress;
    CProgressDialogColours m_colours;
    State m_state = State::kWaiting;
    int m_counter = 0;
};
