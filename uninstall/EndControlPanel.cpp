// Asks the control panel to quit before anything is terminated.
#include "EndControlPanel.h"

#include "AutoRun.h"
#include "Handles.h"
#include "Removal.h"

#include <cstring>
#include <string>

namespace {

const DWORD kQuitWaitMs = 1000;

// The first top-level window of another process titled as the panel's, of any class.
BOOL CALLBACK FindPanelWindow(HWND hwnd, LPARAM lParam) {
    char title[sizeof kPanelTitle + 1] = {};
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hwnd, &processId);
    // A window of the calling uninstaller is never the panel: a quit would end the caller's own loop.
    if (processId == ::GetCurrentProcessId() || !::GetWindowTextA(hwnd, title, sizeof title) ||
        std::strcmp(title, kPanelTitle) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hwnd;
    return FALSE;
}

void AskPanelToQuit() {
    HWND window = nullptr;
    ::EnumWindows(&FindPanelWindow, reinterpret_cast<LPARAM>(&window));
    if (!window)
        return;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    tw::UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    ::PostMessageA(window, WM_QUIT, 0, 0);
    if (process)
        ::WaitForSingleObject(process.Get(), kQuitWaitMs);
}

}  // namespace

void EndControlPanel() {
    const std::string image = AutoRunImage(ReadAutoRun());
    AskPanelToQuit();
    KillProcessByImage(image.empty() ? kPanelImageName : image.c_str());
}
