// CColorLabel painting: the parent's font, no background fill.
#include "ColorLabel.h"

#include "Handles.h"

LRESULT CColorLabel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: OnPaint(); return 0;
    }
    return CStatic::WindowProc(msg, wParam, lParam);
}

void CColorLabel::OnPaint() {
    tw::PaintDC dc(m_hWnd);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    ::SetBkMode(dc.Get(), TRANSPARENT);
    // The label's own font is never used: it follows the parent's.
    HFONT font = reinterpret_cast<HFONT>(::SendMessageA(GetParent(), WM_GETFONT, 0, 0));
    tw::ScopedSelectObject select(dc.Get(), font);
    ::SetTextColor(dc.Get(), m_color);
    ::DrawTextA(dc.Get(), m_text.c_str(), static_cast<int>(m_text.size()), &rc, DT_CENTER);
}
