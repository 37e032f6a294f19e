// CDialog: template dialogs run by our own modal loop.
#include "Dialog.h"

#include "WinApp.h"

namespace tw {

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
    HWND hwnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_templateId), owner,
                                     &CDialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
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

bool CDialog::OnCommand(WPARAM wParam, LPARAM) {
    switch (LOWORD(wParam)) {
    case IDOK: OnOK(); return true;
    case IDCANCEL: OnCancel(); return true;
    }
    return false;
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        LRESULT result = 0;
        if (ReflectChildNotify(msg, wParam, lParam, &result))
            return result;
        if (OnCommand(wParam, lParam))
            return 0;
        return DefWindowProc(msg, wParam, lParam);  // reflected once already
    }
    return CWnd::WindowProc(msg, wParam, lParam);
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

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM, LPARAM lParam) {
    if (msg != WM_INITDIALOG)
        return FALSE;  // everything else reaches CDialog::WindowProc through the subclass
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->Attach(hwnd);
    dialog->m_oldProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWndProc)));
    try {
        return dialog->OnInitDialog();
    } catch (...) {
        dialog->EndDialog(-1);
        return TRUE;
    }
}

}  // namespace tw
