// CWnd: subclassing, dispatch and reflection (the path of a message: top of Dialog.cpp).
#include "Wnd.h"

#include <algorithm>
#include <unordered_map>

namespace tw {

namespace {
// Window -> attached object, looked up for every message. Kept in the process rather than as
// a window property: under Wine each property read is a round trip to the server.
// Windows are attached and used on the one UI thread. Never destroyed: an object that
// outlives static destruction may still detach.
std::unordered_map<HWND, CWnd*>& AttachedObjects() {
    static auto* objects = new std::unordered_map<HWND, CWnd*>;
    return *objects;
}
}  // namespace

CWnd::~CWnd() {
    // An object that dies before its window must not leave our procedure behind.
    if (m_hWnd)
        Detach();
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    auto found = AttachedObjects().find(hwnd);
    return found == AttachedObjects().end() ? nullptr : found->second;
}

void CWnd::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    AttachedObjects()[hwnd] = this;
}

void CWnd::Detach() {
    if (!m_hWnd)
        return;
    AttachedObjects().erase(m_hWnd);
    // Only put the old procedure back if nobody subclassed on top of us since.
    if (m_oldProc &&
        reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC)) == &CWnd::StaticWndProc)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
    m_hWnd = nullptr;
    m_oldProc = nullptr;
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (!hwnd || m_hWnd || FromHandle(hwnd))
        return false;
    Attach(hwnd);
    PreSubclassWindow();
    m_oldProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWndProc)));
    if (!m_oldProc) {
        AttachedObjects().erase(hwnd);
        m_hWnd = nullptr;
        return false;
    }
    return true;
}

bool CWnd::SubclassDlgItem(int id, const CWnd* parent) {
    return parent && SubclassWindow(::GetDlgItem(parent->m_hWnd, id));
}

bool CWnd::PreTranslateMessage(MSG*) { return false; }

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

void CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) const {
    DWORD style = GetStyle();
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>((style & ~remove) | add));
    if (flags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
}

void CWnd::CenterWindow() const {
    RECT area;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT around = area;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &around);
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    // Centred, then kept inside the work area so that the caption stays reachable.
    int left = (around.left + around.right - width) / 2;
    int top = (around.top + around.bottom - height) / 2;
    left = std::max<int>(area.left, std::min<int>(left, area.right - width));
    top = std::max<int>(area.top, std::min<int>(top, area.bottom - height));
    ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string CWnd::GetWindowText() const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = ::GetWindowTextA(m_hWnd, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_oldProc)
        return ::CallWindowProcA(m_oldProc, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // A window whose client area fills it has no frame to paint, yet the system's frame
    // painting would still fetch a device context for it: under Wine, round trips to the
    // server for every control of a dialog at every paint.
    if (msg == WM_NCPAINT && ClientFillsWindow())
        return 0;
    return DefWindowProc(msg, wParam, lParam);
}

bool CWnd::ClientFillsWindow() const {
    RECT window, client;
    if (!::GetWindowRect(m_hWnd, &window) || !::GetClientRect(m_hWnd, &client))
        return false;
    return window.right - window.left == client.right && window.bottom - window.top == client.bottom;
}

bool CWnd::ReflectChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HWND child = nullptr;
    switch (msg) {
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU)
            child = item->hwndItem;
        break;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            child = reinterpret_cast<HWND>(lParam);
        break;
    default:
        if (!IsCtlColorMessage(msg))
            return false;
        child = reinterpret_cast<HWND>(lParam);  // the dialog itself for WM_CTLCOLORDLG / MSGBOX
        break;
    }
    CWnd* object = FromHandle(child);
    if (!object || object == this)
        return false;
    return object->OnChildNotify(msg, wParam, lParam, result);
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* object = FromHandle(hwnd);
    if (!object)
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        WNDPROC oldProc = object->m_oldProc;
        object->Detach();
        LRESULT result = oldProc ? ::CallWindowProcA(oldProc, hwnd, msg, wParam, lParam)
                                 : ::DefWindowProcA(hwnd, msg, wParam, lParam);
        object->PostNcDestroy();
        return result;
    }
    // No exception may unwind through the system's dispatcher.
    try {
        LRESULT result = 0;
        if (object->ReflectChildNotify(msg, wParam, lParam, &result))
            return result;
        return object->WindowProc(msg, wParam, lParam);
    } catch (...) {
        return object->DefWindowProc(msg, wParam, lParam);
    }
}

}  // namespace tw
