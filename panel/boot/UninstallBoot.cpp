// The uninstall command: confirmation, removal dialog, then the not-installed state.
#include "UninstallBoot.h"

#include "PanelUtil.h"
#include "SettingsValues.h"
#include "UninstallBootDlg.h"

namespace {
const char kConfirmation[] = "你确定要卸载Tarwen系统修复引导信息吗？";
}  // namespace

void UninstallBootIntegration(HWND owner, const std::function<void(bool installed)>& showInstalled) {
    if (!AskOkCancel(owner, kConfirmation))
        return;
    CUninstallBootDlg dialog;
    dialog.DoModal();
    // Closed before its first tick, the dialog removed nothing: the state stays true.
    if (!dialog.RemovalRan())
        return;
    SetBootInstalled(false);
    showInstalled(false);
}
