// CTimedProgressDlg: timer 7 runs the first step once, timer 8 moves the bar in ten steps of 300 ms and then runs the last.
#include "TimedProgressDlg.h"

namespace {

const UINT_PTR kFirstStepTimer = 7;
const UINT kFirstStepDelayMs = 1000;
const UINT_PTR kProgressTimer = 8;
const UINT kProgressStepMs = 300;
const int kProgressSteps = 10;

}  // namespace

CTimedProgressDlg::CTimedProgressDlg(UINT templateId, int progressId, int finishButtonId)
    : tw::CDialog(templateId), m_progressId(progressId), m_finishButtonId(finishButtonId) {}

void CTimedProgressDlg::DoDataExchange(tw::CDataExchange& dx) {
    tw::DDX_Control(dx, m_progressId, m_progress);
}

BOOL CTimedProgressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_colours.Create();
    m_state = State::kWaiting;
    ::EnableWindow(GetDlgItem(m_finishButtonId), FALSE);
    m_progress.SetRange(1, kProgressSteps);
    m_progress.SetPos(0);
    ::SetTimer(m_hWnd, kFirstStepTimer, kFirstStepDelayMs, nullptr);
    m_counter = 0;
    return TRUE;
}

bool CTimedProgressDlg::OnCommand(int id, int code, HWND control) {
    if (id == m_finishButtonId) {
        OnOK();
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

LRESULT CTimedProgressDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_TIMER: OnTimer(static_cast<UINT_PTR>(wParam)); return 0;
    case WM_DESTROY: OnDestroy(); break;
    }
    if (tw::IsCtlColorMessage(msg))
        return m_colours.Answer(msg, reinterpret_cast<HDC>(wParam));
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CTimedProgressDlg::OnTimer(UINT_PTR id) {
    if (id == kFirstStepTimer)
        OnFirstStepTimer();
    else if (id == kProgressTimer)
        OnProgressTimer();
}

void CTimedProgressDlg::OnFirstStepTimer() {
    m_state = State::kRunning;
    ::KillTimer(m_hWnd, kFirstStepTimer);
    RunStep(Step::kFirst);
    ::SetTimer(m_hWnd, kProgressTimer, kProgressStepMs, nullptr);
}

void CTimedProgressDlg::OnProgressTimer() {
    if (m_counter < kProgressSteps) {
        ++m_counter;
    } else if (m_state == State::kRunning) {
        m_state = State::kFinished;
        ::KillTimer(m_hWnd, kProgressTimer);
        RunStep(Step::kLast);
        ::EnableWindow(GetDlgItem(m_finishButtonId), TRUE);
    }
    m_progress.SetPos(m_counter);
}

void CTimedProgressDlg::OnDestroy() {
    // A dialog closed early runs no step after it has gone.
    ::KillTimer(m_hWnd, kFirstStepTimer);
    ::KillTimer(m_hWnd, kProgressTimer);
}
