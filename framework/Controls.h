// Control classes attached to template controls: CButton, CStatic, CBitmapButton, CProgressCtrl, CToolTipCtrl.
#pragma once

#include "Handles.h"
#include "Wnd.h"

#include <commctrl.h>

namespace tw {

class CButton : public CWnd {};

class CStatic : public CWnd {};

// An owner-drawn button that shows one bitmap when up and another while pressed,
// copied unscaled from the top-left corner; what does not fit is cut off.
class CBitmapButton : public CButton {
public:
    bool LoadBitmaps(UINT upId, UINT pressedId);
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // void DrawItem(const DRAWITEMSTRUCT* item)
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
