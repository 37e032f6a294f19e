// CFixupDlg: the network step one second after opening, ten progress ticks, then the browser
// repair and the autostart cleanup; the button closes the dialog once everything has run.
#include "FixupDlg.h"

#include "BrowserRepair.h"
#include "NetComponent.h"
#include "RunKeyCleanup.h"
#include "resource.h"

namespace {
const UINT_PTR kStartTimer = 7;
const UINT kStartDelayMs = 1000;
const UINT_PTR kTickTimer = 8;
const UINT kTickMs = 300;
const int kTicks = 10;
const char kNetworkKey[] = "SYSTEM\\CurrentControlSet\\Control\\Network";
}  // namespace

CFixupDlg::CFixupDlg() : tw::CDialog(IDD_FIXUP) {}

void CFixupDlg::DoDataExchange(tw::CDataExchange& dx) {
    tw::DDX_Control(dx, IDC_PROGRESS, m_progress);
    tw::DDX_Control(dx, IDC_REPAIR, m_doneButton);
}

BOOL CFixupDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_colours.Create();
    m_state = kNotStarted;
    m_doneButton.SetIconResource(IDI_REPAIR);
    m_doneButton.SetTransparent(true);
    m_doneButton.EnableWindow(false);
    m_progress.SetRange(1, kTicks);
    m_progress.SetPos(0);
    ::SetTimer(m_hWnd, kStartTimer, kStartDelayMs, nullptr);
    m_counter = 0;
    return TRUE;
}

bool CFixupDlg::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_REPAIR: OnRepairDone(); return true;
    }
    return CDialog::OnCommand(id, code, control);
}

LRESULT CFixupDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_TIMER: OnTimer(static_cast<UINT_PTR>(wParam)); return 0;
    case WM_CLOSE:
        if (m_state != kDone)
            return 0;  // no way out but the button (or Escape) while steps remain
        break;
    case WM_DESTROY: OnDestroy(); break;
    }
    if (tw::IsCtlColorMessage(msg))
        return m_colours.Answer(msg, reinterpret_cast<HDC>(wParam));
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CFixupDlg::OnTimer(UINT_PTR id) {
    if (id == kStartTimer) {
        m_state = kRunning;
        ::KillTimer(m_hWnd, kStartTimer);
        RunNetworkStep();
        ::SetTimer(m_hWnd, kTickTimer, kTickMs, nullptr);
        return;
    }
    if (id != kTickTimer)
        return;
    if (m_counter < kTicks) {
        ++m_counter;
    } else if (m_state == kRunning) {
        m_state = kDone;
        ::KillTimer(m_hWnd, kTickTimer);
        RunFinalSteps();
        m_doneButton.EnableWindow(true);
    }
    m_progress.SetPos(m_counter);
}

void CFixupDlg::OnDestroy() {
    ::KillTimer(m_hWnd, kStartTimer);
    ::KillTimer(m_hWnd, kTickTimer);
}

void CFixupDlg::OnRepairDone() { EndDialog(IDOK); }

void CFixupDlg::RunNetworkStep() {
    // The uninstall runs beside the progress ticks; nothing waits for it.
    if (FindBrokenNetService(kNetworkKey))
        RemoveNetComponent();
}

void CFixupDlg::RunFinalSteps() {
    RunBrowserRepair();
    CleanRunKey(HKEY_LOCAL_MACHINE);
    CleanRunKey(HKEY_CURRENT_USER);
}
