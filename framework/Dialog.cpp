// CDialog: template dialogs run by our own modal loop.
//
// The path of one message, e.g. a BM_CLICK on the main window's install button:
// 1. Entry. A creation hook attaches the CDialog while DoModal makes the window, so
//    CWnd::StaticWndProc (Wnd.cpp) is the window procedure from the first message on; the
//    dialog procedure that the system requires (NoDialogProc) takes nothing. Controls bound by DDX_Control enter the same way.
//    Queued messages pass DoModal's loop first: PreTranslateMessage of the window and its
//    parents, then IsDialogMessage (keyboard navigation), then dispatch.
// 2. Reflection, once. StaticWndProc offers WM_COMMAND/BN_CLICKED, WM_DRAWITEM and WM_CTLCOLOR*
//    to the object of the control they name (ReflectChildNotify -> OnChildNotify); the button
//    sees its click there (CSkinButton::OnChildNotify) and declines, so the dialog goes on.
// 3. The dialog's own handlers: the virtual WindowProc of its class (CPanelDlg::WindowProc),
//    then CDialog::WindowProc: WM_INITDIALOG -> OnInitDialog, WM_COMMAND -> OnCommand
//    (CPanelDlg::OnCommand -> OnInstall), colour requests -> the registered dialog colours.
// 4. The default: CWnd::WindowProc calls the procedure that was there before, the system's
//    dialog box procedure (DefDlgProc), for whatever no handler took.
// Dialogs that are not ours (message boxes) get the registered colours from WinApp.cpp's hook,
// which stands aside while DoModal makes a template's controls.
#include "Dialog.h"

#include "WinApp.h"

namespace tw {

namespace {

CDialog* g_creating = nullptr;  // the dialog that DoModal is creating on this (the UI) thread
HHOOK g_creationHook = nullptr;  // the hook that attaches it, gone once it has

// Without a dialog procedure the system sends no WM_INITDIALOG; every message has passed the
// CDialog before it gets here.
INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

void DDX_Control(CDataExchange& dx, int id, CWnd& control) {
    if (!control.m_hWnd)
        control.SubclassDlgItem(id, dx.dialog);
}

void DDX_Text(CDataExchange& dx, int id, std::string& value, int maxLength) {
    HWND edit = dx.dialog->GetDlgItem(id);
    if (!edit)
        return;
    if (dx.saveAndValidate) {
        std::string text(static_cast<size_t>(maxLength) + 1, '\0');
        int copied = ::GetWindowTextA(edit, &text[0], maxLength + 1);
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        value = text;
    } else {
        ::SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(maxLength), 0);
        ::SetWindowTextA(edit, value.substr(0, static_cast<size_t>(maxLength)).c_str());
    }
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

HWND CDialog::OwnerWindow() const {
    HWND owner = m_parent ? m_parent->m_hWnd : nullptr;
    if (!owner) {
        CWinApp* app = AfxGetApp();
        if (app && app->m_pMainWnd && app->m_pMainWnd != this)
            owner = app->m_pMainWnd->m_hWnd;
    }
    return owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd)
        return -1;
    HWND owner = OwnerWindow();
    // Disable the owner first so that it takes no input while the dialog initialises.
    bool ownerDisabled = owner && ::IsWindowEnabled(owner);
    if (ownerDisabled)
        ::EnableWindow(owner, FALSE);

    m_ended = false;
    m_result = -1;
    g_creating = this;
    PauseDialogColourHook();
    g_creationHook = ::SetWindowsHookExA(WH_CBT, &CDialog::AttachOnCreate, nullptr, ::GetCurrentThreadId());
    HWND hwnd = g_creationHook ? ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_templateId), owner,
                                                      &NoDialogProc, 0)
                               : nullptr;
    if (g_creationHook)  // the dialog was never created
        ::UnhookWindowsHookEx(g_creationHook);
    g_creationHook = nullptr;
    g_creating = nullptr;
    ResumeDialogColourHook();
    if (hwnd && m_hWnd == hwnd) {
        if (!m_ended && !(GetStyle() & WS_VISIBLE))
            ShowWindow(SW_SHOWNORMAL);
        MSG msg;
        while (!m_ended && m_hWnd) {
            BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
            if (got == -1)
                break;
            if (got == 0) {
                // A posted quit ends this loop and, posted again, each loop outside it.
                if (CWinApp* app = AfxGetApp())
                    app->m_exitCode = static_cast<int>(msg.wParam);
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                m_result = -1;
                break;
            }
            if (!PreTranslateForDialog(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
    }

    // Re-enable the owner before the dialog goes, so that activation returns to it.
    if (ownerDisabled)
        ::EnableWindow(owner, TRUE);
    if (m_hWnd) {
        if (owner && ::GetActiveWindow() == m_hWnd)
            ::SetActiveWindow(owner);
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        DestroyWindow();
    } else if (hwnd && ::IsWindow(hwnd)) {
        ::DestroyWindow(hwnd);  // failed to attach: do not leak the window
    }
    return m_result;
}

void CDialog::EndDialog(INT_PTR result) {
    m_result = result;
    m_ended = true;
    // Wakes the loop if EndDialog ran inside a sent message.
    if (m_hWnd)
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx{this, saveAndValidate};
    DoDataExchange(dx);
    return true;
}

void CDialog::DoDataExchange(CDataExchange&) {}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnCommand(int id, int, HWND) {
    switch (id) {
    case IDOK: OnOK(); return true;
    case IDCANCEL: OnCancel(); return true;
    }
    return false;
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (msg) {
    case WM_INITDIALOG:
        ResumeDialogColourHook();  // the controls are made; a message box may follow
        return InitDialog();
    case WM_PRINTCLIENT: PrintBackground(reinterpret_cast<HDC>(wParam)); return 0;
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)))
            return 0;
        break;
    default:
        if (AnswerDialogColour(msg, wParam, &result))
            return result;
        break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

void CDialog::PrintBackground(HDC hdc) {
    auto brush = reinterpret_cast<HBRUSH>(
        ::SendMessageA(m_hWnd, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(m_hWnd)));
    if (!brush)
        brush = ::GetSysColorBrush(COLOR_3DFACE);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    ::FillRect(hdc, &rc, brush);
}

BOOL CDialog::InitDialog() {
    RECT before;
    ::GetWindowRect(m_hWnd, &before);
    BOOL focusByDefault = TRUE;
    try {
        focusByDefault = OnInitDialog();
    } catch (...) {
        EndDialog(-1);
        return TRUE;
    }
    // A dialog that its initialisation left where the template put it is centred, as
    // MFC's dialogs are, instead of standing in the corner of the screen.
    RECT after;
    ::GetWindowRect(m_hWnd, &after);
    if (!m_ended && ::EqualRect(&before, &after) && !(GetStyle() & WS_CHILD))
        CenterWindow();
    return focusByDefault;
}

bool CDialog::PreTranslateForDialog(MSG* msg) {
    // The window's own object first, then its parents up to and including the dialog.
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        CWnd* object = FromHandle(hwnd);
        if (object && object->PreTranslateMessage(msg))
            return true;
        if (hwnd == m_hWnd)
            break;
    }
    return ::IsDialogMessageA(m_hWnd, msg) != FALSE;
}

// The first window created while DoModal waits is the dialog itself. The hook goes as soon
// as it is attached: its controls follow, and every hook in the chain costs each of them a
// round trip to the window system.
LRESULT CALLBACK CDialog::AttachOnCreate(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && g_creating) {
        CDialog* dialog = g_creating;
        g_creating = nullptr;
        dialog->SubclassWindow(reinterpret_cast<HWND>(wParam));
        if (g_creationHook && ::UnhookWindowsHookEx(g_creationHook))
            g_creationHook = nullptr;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace tw
