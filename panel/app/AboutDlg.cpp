// CAboutDlg: grey over the default colours, and the help file opened with the shell's "open" verb.
#include "AboutDlg.h"

#include "PanelUtil.h"
#include "resource.h"

#include <shellapi.h>

namespace {
const COLORREF kBackground = RGB(222, 222, 222);
const char kHelpFileName[] = "使用帮助.chm";
}  // namespace

CAboutDlg::CAboutDlg() : tw::CDialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_background.Reset(::CreateSolidBrush(kBackground));
    return TRUE;
}

bool CAboutDlg::OnCommand(int id, int code, HWND control) {
    if (id == IDCANCEL) {
        OnHelp();
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

void CAboutDlg::OnHelp() {
    // A missing file or viewer gives whatever the shell shows; the box stays open either way.
    ::ShellExecuteA(m_hWnd, "open", (ProgramFolder() + kHelpFileName).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CAboutDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (tw::IsCtlColorMessage(msg))
        return OnCtlColor(msg, wParam, lParam);
    return CDialog::WindowProc(msg, wParam, lParam);
}

LRESULT CAboutDlg::OnCtlColor(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT byDefault = CDialog::WindowProc(msg, wParam, lParam);
    if (!m_background)
        return byDefault;
    if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX || msg == WM_CTLCOLORDLG) {
        HDC hdc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(hdc, RGB(0, 0, 0));
        ::SetBkColor(hdc, kBackground);
    }
    return reinterpret_cast<LRESULT>(m_background.Get());
}
