// The smallest dialog program that starts like the control panel: common controls, the shell,
// a modal dialog of the main window's size, font and title. Escape ends it.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

namespace {

INT_PTR CALLBACK MinimalDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    char desktop[MAX_PATH];
    SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOP, FALSE);  // the shell is loaded and used
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(100), nullptr, &MinimalDialogProc, 0));
}
