// CUninstallBootDlg: the removal sequence as the dialog's first step; the dialog reports nothing of it.
#include "UninstallBootDlg.h"

#include "Removal.h"
#include "resource.h"

CUninstallBootDlg::CUninstallBootDlg() : CTimedProgressDlg(IDD_UNINSTALL_BOOT, IDC_PROGRESS, IDOK) {}

void CUninstallBootDlg::RunStep(Step step) {
    if (step == Step::kFirst)
        RemoveInstalledFiles();
}
