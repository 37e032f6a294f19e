// CWinApp: the application object, its instance-initialisation hook and the registered dialog colours.
#pragma once

#include "Handles.h"
#include "Wnd.h"

#include <string>

namespace tw {

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // All start-up work. True asks for a message loop (Run); false ends the program.
    virtual bool InitInstance() { return false; }
    virtual int Run();
    // The process exit code.
    virtual int ExitInstance() { return m_exitCode; }

    // Background and text colour of every dialog and message box of this thread
    // created from now on; the system's colours are used until this is called.
    void SetDialogBkColor(COLORREF background, COLORREF text);

    HINSTANCE m_hInstance = nullptr;
    std::string m_cmdLine;  // the command-line tail, without the program name
    CWnd* m_pMainWnd = nullptr;
    int m_exitCode = 0;

private:
    friend bool AnswerDialogColour(UINT msg, WPARAM wParam, LRESULT* result);

    UniqueBrush m_dialogBrush;  // none until SetDialogBkColor
    COLORREF m_dialogText = RGB(0, 0, 0);
};

// The registered dialog colours for a colour request of a dialog (WM_CTLCOLORDLG, MSGBOX,
// STATIC, BTN): true with the brush in *result; false when none are registered or the
// request is of another kind.
bool AnswerDialogColour(UINT msg, WPARAM wParam, LRESULT* result);
// The hook that colours other dialogs stands aside while a dialog of ours makes the controls
// of its template: no other dialog can appear then, and every hook in the chain costs each
// control a round trip to the window system. CDialog pauses it before creating and resumes
// it at WM_INITDIALOG (or when creation failed). Both do nothing when there is nothing to do.
void PauseDialogColourHook();
void ResumeDialogColourHook();

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();
// A bitmap resource of the program as a section in its own format: the screen is not asked
// to make a copy in its format, which costs round trips to the window system on every load.
HBITMAP AfxLoadBitmap(UINT id);

// Entry used by WinMain; exposed for the framework's own start.
int AfxWinMain(HINSTANCE instance, const char* cmdLine);

}  // namespace tw
