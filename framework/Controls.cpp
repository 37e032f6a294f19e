// CBitmapButton drawing and the owned tool-tip window.
#include "Controls.h"

#include "WinApp.h"

#include <commctrl.h>

namespace tw {

bool CBitmapButton::LoadBitmaps(UINT upId, UINT pressedId) {
    m_up.Reset(AfxLoadBitmap(upId));
    m_pressed.Reset(AfxLoadBitmap(pressedId));
    return m_up && m_pressed;
}

bool CBitmapButton::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (msg != WM_DRAWITEM)
        return CButton::OnChildNotify(msg, wParam, lParam, result);
    DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return true;
}

HBITMAP CBitmapButton::BitmapFor(UINT itemState) const {
    return (itemState & ODS_SELECTED) && m_pressed ? m_pressed.Get() : m_up.Get();
}

void CBitmapButton::DrawItem(const DRAWITEMSTRUCT* item) {
    HBITMAP bitmap = BitmapFor(item->itemState);
    if (!bitmap)
        return;
    UniqueMemoryDc memory(::CreateCompatibleDC(item->hDC));
    ScopedSelectObject select(memory.Get(), bitmap);
    const RECT& rc = item->rcItem;
    ::BitBlt(item->hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, memory.Get(), 0, 0, SRCCOPY);
}

CToolTipCtrl::~CToolTipCtrl() {
    // The owner's destruction may have taken the window already.
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

bool CToolTipCtrl::Create(const CWnd* owner) {
    if (m_hWnd)
        return true;
    m_hWnd = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, owner ? owner->m_hWnd : nullptr, nullptr,
                               AfxGetResourceHandle(), nullptr);
    return m_hWnd != nullptr;
}

}  // namespace tw
