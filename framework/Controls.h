// Control classes attached to template controls: CButton, CStatic, CBitmapButton, CProgressCtrl, CToolTipCtrl.
#pragma once

#include "Handles.h"
#include "Wnd.h"

#include <commctrl.h>

namespace tw {

// A button control; images are the caller's to keep alive.
class CButton : public CWnd {
public:
    using CWnd::SetIcon;  // the window's own icon stays reachable
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    void SetStyle(UINT style, bool redraw = true) const { SendMessage(BM_SETSTYLE, style, redraw ? TRUE : FALSE); }
    HBITMAP SetBitmap(HBITMAP bitmap) const { return reinterpret_cast<HBITMAP>(SetImage(IMAGE_BITMAP, bitmap)); }
    HICON SetIcon(HICON icon) const { return reinterpret_cast<HICON>(SetImage(IMAGE_ICON, icon)); }

private:
    LRESULT SetImage(WPARAM type, HANDLE image) const {
        return SendMessage(BM_SETIMAGE, type, reinterpret_cast<LPARAM>(image));
    }
};

// A static control; images are the caller's to keep alive.
class CStatic : public CWnd {
public:
    using CWnd::SetIcon;
    HBITMAP SetBitmap(HBITMAP bitmap) const {
        return reinterpret_cast<HBITMAP>(SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    }
    HICON SetIcon(HICON icon) const {
        return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon)));
    }
};

// An owner-drawn button that shows one bitmap when up and another while pressed,
// copied unscaled from the top-left corner; what does not fit is cut off.
class CBitmapButton : public CButton {
public:
    bool LoadBitmaps(UINT upId, UINT pressedId);
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    // The bitmap for a draw request's item state: pressed while selected, else up; may be null.
    HBITMAP BitmapFor(UINT itemState) const;

private:
    void DrawItem(const DRAWITEMSTRUCT* item);

    UniqueBitmap m_up;
    UniqueBitmap m_pressed;
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(int lower, int upper) const { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper); }
    int SetPos(int pos) const { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos))); }
};

// A tool-tip window that this object creates and owns.
class CToolTipCtrl : public CWnd {
public:
    ~CToolTipCtrl() override;
    bool Create(const CWnd* owner);
    void Activate(bool active) const { SendMessage(TTM_ACTIVATE, active ? TRUE : FALSE); }
    void SetMaxTipWidth(int width) const { SendMessage(TTM_SETMAXTIPWIDTH, 0, width); }
    void RelayEvent(MSG* msg) const { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
};

}  // namespace tw
