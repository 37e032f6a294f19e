// The window of DriverCrate.exe in plain Win32: a resource dialog in the
// panel's look (grey background RGB(222,222,222), black text).
#include "DriverCrateDlg.h"

#include "DriverBackup.h"
#include "resource.h"

namespace driver_crate {

namespace {

const COLORREF kBackground = RGB(222, 222, 222);
const COLORREF kText = RGB(0, 0, 0);

struct DialogState {
    HBRUSH background;
};

void OnBackup(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_STATUS, "正在备份驱动……");
    bool ok = BackupDrivers();
    SetDlgItemTextA(dialog, IDC_STATUS, ok ? "驱动备份完成。" : "驱动备份未能全部完成。");
}

void OnRestore(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_STATUS, "正在还原驱动……");
    bool ok = RestoreDrivers();
    SetDlgItemTextA(dialog, IDC_STATUS, ok ? "驱动还原完成。" : "驱动还原未能全部完成（是否已经备份？）。");
}

// The dialog and its static texts share the grey background and black text.
INT_PTR OnCtlColor(HWND dialog, HDC dc) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    SetTextColor(dc, kText);
    SetBkColor(dc, kBackground);
    return reinterpret_cast<INT_PTR>(state->background);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return OnCtlColor(dialog, reinterpret_cast<HDC>(wParam));
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BACKUP: OnBackup(dialog); return TRUE;
        case IDC_RESTORE: OnRestore(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

void RunDriverCrateDialog(HINSTANCE instance) {
    DialogState state{CreateSolidBrush(kBackground)};
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_DRIVERCRATE), nullptr, DialogProc,
                    reinterpret_cast<LPARAM>(&state));
    DeleteObject(state.background);
}

}  // namespace driver_crate
