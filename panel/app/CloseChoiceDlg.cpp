// CCloseChoiceDlg: two radio buttons and OK; Escape leaves the main window as it was.
#include "CloseChoiceDlg.h"

#include "WinApp.h"
#include "resource.h"

int g_closeChoice = 0;

namespace {
const int kRunInBackground = 1;
const int kExitProgram = 2;
const int kExitCode = 1;
}  // namespace

CCloseChoiceDlg::CCloseChoiceDlg(tw::CWnd* parent) : tw::CDialog(IDD_CLOSE_CHOICE, parent) {}

BOOL CCloseChoiceDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    g_closeChoice = kRunInBackground;
    ::CheckDlgButton(m_hWnd, IDC_RUN_BACKGROUND, BST_CHECKED);
    return TRUE;
}

bool CCloseChoiceDlg::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_RUN_BACKGROUND: g_closeChoice = kRunInBackground; return true;
    case IDC_EXIT_PROGRAM: g_closeChoice = kExitProgram; return true;
    }
    return CDialog::OnCommand(id, code, control);
}

void CCloseChoiceDlg::OnOK() {
    tw::CWinApp* app = tw::AfxGetApp();
    if (g_closeChoice == kRunInBackground && app && app->m_pMainWnd)
        app->m_pMainWnd->ShowWindow(SW_HIDE);
    else if (g_closeChoice == kExitProgram)
        ::PostQuitMessage(kExitCode);
    CDialog::OnOK();
}
