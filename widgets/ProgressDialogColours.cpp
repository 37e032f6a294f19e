// CProgressDialogColours: one colour rule for the removal and the fix-up dialogs.
#include "ProgressDialogColours.h"

namespace {
const COLORREF kBackground = RGB(222, 222, 222);
const COLORREF kText = RGB(0, 0, 0);
const COLORREF kFieldBackground = RGB(200, 200, 255);
}  // namespace

void CProgressDialogColours::Create() { m_background.Reset(::CreateSolidBrush(kBackground)); }

LRESULT CProgressDialogColours::Answer(UINT msg, HDC dc) const {
    ::SetTextColor(dc, kText);
    if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX || msg == WM_CTLCOLORDLG)
        ::SetBkColor(dc, kFieldBackground);
    else
        ::SetBkColor(dc, kBackground);  // a label's text sits on the grey, not in a white box
    return reinterpret_cast<LRESULT>(m_background.Get());
}
