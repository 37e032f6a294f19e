// CWnd: a C++ object attached to a window by subclassing, with reflection of child notifications.
#pragma once

#include <windows.h>

#include <string>

namespace tw {

// WM_CTLCOLORMSGBOX .. WM_CTLCOLORSTATIC: a control or dialog asks for its colours.
inline bool IsCtlColorMessage(UINT msg) { return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC; }

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The object attached to hwnd, or null.
    static CWnd* FromHandle(HWND hwnd);

    // Attaches this object to an existing window, keeping its old window procedure.
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(int id, const CWnd* parent);

    // Called for queued messages of this window (and its children) before dispatch;
    // true means the message was consumed.
    virtual bool PreTranslateMessage(MSG* msg);
    // A notification reflected from the parent (WM_DRAWITEM, WM_CTLCOLOR*, BN_CLICKED).
    // True means handled, with *result as the parent's answer; false lets the parent go on.
    virtual bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual BOOL DestroyWindow();

    // Thin helpers.
    BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    BOOL EnableWindow(bool enable) const { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void Invalidate(bool erase = true) const { ::InvalidateRect(m_hWnd, nullptr, erase ? TRUE : FALSE); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
    // Removes and adds style bits; flags non-zero also runs SetWindowPos (e.g. SWP_FRAMECHANGED).
    void ModifyStyle(DWORD remove, DWORD add, UINT flags = 0) const;
    // Centres the window over its owner when the owner is shown, else in the work area.
    void CenterWindow() const;
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    std::string GetWindowText() const;
    BOOL SetWindowText(const char* text) const { return ::SetWindowTextA(m_hWnd, text); }
    // The window's own icon (WM_SETICON), big or small; the caller keeps it alive.
    void SetIcon(HICON icon, bool big) const { SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, msg, wParam, lParam);
    }

    HWND m_hWnd = nullptr;

protected:
    // Attach() is done; the window procedure is not yet replaced.
    virtual void PreSubclassWindow() {}
    // Every message of the window that reflection left (see Dialog.cpp); the default
    // calls the previous window procedure, except for the frame painting of a window that
    // has no frame.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // True when the client area is the whole window: no caption, frame, menu or scroll bar.
    bool ClientFillsWindow() const;
    // The window procedure that was there before this object.
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Sends a child's notification to the child's object, if it has one.
    bool ReflectChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The window is gone (after WM_NCDESTROY); the object is detached.
    virtual void PostNcDestroy() {}

    // Binds object and window without touching the window procedure.
    void Attach(HWND hwnd);
    // The one teardown order: stop dispatching, restore the old procedure, forget the window.
    void Detach();

    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    WNDPROC m_oldProc = nullptr;
};

}  // namespace tw
