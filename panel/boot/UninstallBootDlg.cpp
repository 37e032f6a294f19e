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
const COLORREF kBackground = RGB(222, 222, 222);
const COLORREF kText = RGB(0, 0, 0);
const COLORREF kFieldBackground = RGB(200, 200, 255);

}  // namespace

CUninstallBootDlg::CUninstallBootDlg() : tw::CDialog(IDD_UNINSTALL_BOOT) {}

void CUninstallBootDlg::DoDataExchange(tw::CDataExchange& dx) {
    tw::DDX_Control(dx, IDOK, m_finishButton);
    tw::DDX_Control(dx, IDC_PROGRESS, m_progress);
}

BOOL CUninstallBootDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_background.Reset(::CreateSolidBrush(kBackground));
    m_state = kWaiting;
    m_finishButton.EnableWindow(false);
    m_progress.SetRange(1, kProgressSteps);
    m_progress.SetPos(0);
    ::SetTimer(m_hWnd, kRemoveTimer, kRemoveDelayMs, nullptr);
    m_counter = 0;
    return TRUE;
}

LRESULT CUninstallBootDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return OnCtlColor(reinterpret_cast<HDC>(wParam), msg);
    }
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

LRESULT CUninstallBootDlg::OnCtlColor(HDC dc, UINT kind) {
    ::SetTextColor(dc, kText);
    if (kind == WM_CTLCOLOREDIT || kind == WM_CTLCOLORLISTBOX || kind == WM_CTLCOLORDLG)
        ::SetBkColor(dc, kFieldBackground);
    else
        ::SetBkColor(dc, kBackground);  // the label's text sits on the grey, not in a white box
    return reinterpret_cast<LRESULT>(m_background.Get());
}
