// CUninstallBootDlg: timer 7 does the work once, timer 8 moves the bar in ten steps of 300 ms.
#include "UninstallBootDlg.h"

#include "UninstallBoot.h"
#include "resource.h"

namespace {

const UINT_PTR kRemoveTimer = 7;
const UINT kRemoveDelayMs = 1000;
const UINT_PTR kProgressTimer = 8;
const UINT kProgressStepMs = 300;
const int kProgressSteps = 10;

}  // namespace

CUninstallBootDlg::CUninstallBootDlg() : tw::CDialog(IDD_UNINSTALL_BOOT) {}

void CUninstallBootDlg::DoDataExchange(tw::CDataExchange& dx) {
    tw::DDX_Control(dx, IDOK, m_finishButton);
    tw::DDX_Control(dx, IDC_PROGRESS, m_progress);
}

BOOL CUninstallBootDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_colours.Create();
    m_state = kWaiting;
    m_finishButton.EnableWindow(false);
    m_progress.SetRange(1, kProgressSteps);
    m_progress.SetPos(0);
    ::SetTimer(m_hWnd, kRemoveTimer, kRemoveDelayMs, nullptr);
    m_counter = 0;
    return TRUE;
}

LRESULT CUninstallBootDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) {
        OnTimer(wParam);
        return 0;
    }
    if (tw::IsCtlColorMessage(msg))
        return m_colours.Answer(msg, reinterpret_cast<HDC>(wParam));
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CUninstallBootDlg::OnTimer(UINT_PTR id) {
    if (id == kRemoveTimer)
        OnRemoveTimer();
    else if (id == kProgressTimer)
        OnProgressTimer();
}

void CUninstallBootDlg::OnRemoveTimer() {
    m_state = kRemoved;
    ::KillTimer(m_hWnd, kRemoveTimer);
    RemoveInstalledFiles();
    ::SetTimer(m_hWnd, kProgressTimer, kProgressStepMs, nullptr);
}

void CUninstallBootDlg::OnProgressTimer() {
    if (m_counter < kProgressSteps) {
        ++m_counter;
    } else if (m_state == kRemoved) {
        m_state = kFinished;
        ::KillTimer(m_hWnd, kProgressTimer);
        m_finishButton.EnableWindow(true);
    }
    m_progress.SetPos(m_counter);
}
