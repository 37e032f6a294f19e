// CPanelApp start-up sequence.
#include "PanelApp.h"

#include "AutoRun.h"
#include "FixupDlg.h"
#include "PanelDlg.h"
#include "ProfileStream.h"
#include "SettingsPath.h"
#include "SettingsValues.h"

#include <commctrl.h>

#include <cstring>

CPanelApp theApp;

namespace {
const char kMutexName[] = "TarwenXiTong";
const COLORREF kDialogBackground = RGB(222, 222, 222);
const COLORREF kDialogText = RGB(0, 0, 0);
}  // namespace

bool CPanelApp::InitInstance() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    if (tw::UniqueKernelHandle other{::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName)}) {
        BringBackFirstCopy();
        return false;
    }
    // Two copies started at the same instant both miss the open; only one creates the mutex.
    ::SetLastError(0);
    m_instanceMutex.Reset(::CreateMutexA(nullptr, TRUE, kMutexName));
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        BringBackFirstCopy();
        return false;
    }

    CPanelDlg dialog;
    m_pMainWnd = &dialog;
    RunPostRestoreHandshake();
    SetDialogBkColor(kDialogBackground, kDialogText);
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return false;
}

void CPanelApp::BringBackFirstCopy() {
    HWND window = ::FindWindowA(nullptr, kPanelTitle);
    if (!window)
        return;
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::SetForegroundWindow(window);
}

void CPanelApp::RunPostRestoreHandshake() {
    tw::UniqueFile settings = OpenSettingsFile(WindowsSettingsPath());
    if (!settings)
        return;
    char signRun[128] = {};
    if (!ReadIniStream(settings.Get(), "SignRun", signRun))
        return;
    // "111": the fix-ups run first, with the file kept open; "222": no fix-ups.
    if (std::strcmp(signRun, "111") == 0) {
        CFixupDlg fixups;
        fixups.DoModal();
        FinishHandshake(settings.Get());
    } else if (std::strcmp(signRun, "222") == 0) {
        FinishHandshake(settings.Get());
    }
}

void CPanelApp::FinishHandshake(FILE* settings) {
    WriteUserPath(settings);
    WriteIniStream(settings, "SignRun", "000");
    WriteIniStream(settings, "IsRepair", "000");
    WriteIniStream(settings, "SysRepair", "000");
}
