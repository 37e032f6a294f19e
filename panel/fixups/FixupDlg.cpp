// CFixupDlg: the network step one second after opening, ten progress ticks, then the browser
// repair and the autostart cleanup; the button closes the dialog once everything has run.
#include "FixupDlg.h"

#include "BrowserRepair.h"
#include "NetComponent.h"
#include "RunKeyCleanup.h"
#include "resource.h"

namespace {
const char kNetworkKey[] = "SYSTEM\\CurrentControlSet\\Control\\Network";
}  // namespace

CFixupDlg::CFixupDlg() : CTimedProgressDlg(IDD_FIXUP, IDC_PROGRESS, IDC_REPAIR) {}

void CFixupDlg::DoDataExchange(tw::CDataExchange& dx) {
    CTimedProgressDlg::DoDataExchange(dx);
    tw::DDX_Control(dx, IDC_REPAIR, m_doneButton);
}

BOOL CFixupDlg::OnInitDialog() {
    CTimedProgressDlg::OnInitDialog();
    m_doneButton.SetIconResource(IDI_REPAIR);
    m_doneButton.SetTransparent(true);
    return TRUE;
}

LRESULT CFixupDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE && !StepsFinished())
        return 0;  // no way out but the button (or Escape) while steps remain
    return CTimedProgressDlg::WindowProc(msg, wParam, lParam);
}

void CFixupDlg::RunStep(Step step) {
    if (step == Step::kFirst) {
        // The uninstall runs beside the progress ticks; nothing waits for it.
        if (FindBrokenNetService(kNetworkKey))
            RemoveNetComponent();
        return;
    }
    RunBrowserRepair();
    CleanRunKey(HKEY_LOCAL_MACHINE);
    CleanRunKey(HKEY_CURRENT_USER);
}
