// CSkinButton: owner drawing, hover tracking and the dialog-manager messages of a flat button.
#include "SkinButton.h"

#include "CaptionBreak.h"
#include "ParentBackground.h"

#include "WinApp.h"

#include <commctrl.h>
#include <windowsx.h>

namespace {

const DWORD kTypeBits = 0x1F;  // the button type as the dialog manager sets it
const DWORD kCheckBoxBit = 0x02;

void FillSolidRect(HDC hdc, int x, int y, int width, int height, COLORREF color) {
    ::SetBkColor(hdc, color);
    RECT rc = {x, y, x + width, y + height};
    ::ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

// The caption with a line break where two lines come out most even, when it does not fit on one.
std::string LayOutCaption(HDC hdc, const std::string& caption, const RECT& area) {
    auto measure = [hdc](const std::string& text) {
        SIZE size = {};
        ::GetTextExtentPoint32A(hdc, text.data(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    return BreakCaption(caption, area.right - area.left, measure);
}

}  // namespace

CSkinButton::CSkinButton()
    : m_captionColor(::GetSysColor(COLOR_BTNTEXT)), m_fillColor(::GetSysColor(COLOR_BTNFACE)) {}

void CSkinButton::PreSubclassWindow() {
    DWORD style = GetStyle();
    if (style & kCheckBoxBit)
        m_checkBox = true;
    if ((style & kTypeBits) == BS_DEFPUSHBUTTON)
        m_default = true;
    // The type is not part of the frame: a repaint, when the button shows, is all it needs.
    ModifyStyle(kTypeBits, BS_OWNERDRAW, 0);
    RepaintIfShown();
    CButton::PreSubclassWindow();
}

bool CSkinButton::SetIconResource(UINT iconId) {
    // Loaded at the default size, the icon's size is known without asking for its bitmaps,
    // which would copy both of them.
    HICON icon = static_cast<HICON>(::LoadImageA(tw::AfxGetResourceHandle(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, 0,
                                                 0, LR_DEFAULTCOLOR | LR_DEFAULTSIZE));
    m_icon.Reset(icon);
    m_iconWidth = m_icon ? ::GetSystemMetrics(SM_CXICON) : 0;
    m_iconHeight = m_icon ? ::GetSystemMetrics(SM_CYICON) : 0;
    RepaintIfShown();
    return static_cast<bool>(m_icon);
}

void CSkinButton::SetTransparent(bool repaint) {
    m_transparent = true;
    if (repaint)
        RepaintIfShown();
}

void CSkinButton::RepaintIfShown() {
    // A hidden button is painted whole when it shows; asking now would only cost a round
    // trip to the window system for each change made while its dialog is being built.
    if (m_hWnd && ::IsWindowVisible(m_hWnd))
        Invalidate();
}

void CSkinButton::DrawBackground(HDC hdc, const RECT& rc) {
    tw::UniqueBrush brush(::CreateSolidBrush(m_fillColor));
    ::FillRect(hdc, &rc, brush.Get());
}

void CSkinButton::DrawBorder(HDC hdc, const RECT& rc) {
    COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    COLORREF dark = ::GetSysColor(COLOR_BTNSHADOW);
    COLORREF topLeft = m_pressed ? dark : light;
    COLORREF bottomRight = m_pressed ? light : dark;
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    FillSolidRect(hdc, rc.left, rc.top, width - 1, 1, topLeft);
    FillSolidRect(hdc, rc.left, rc.top, 1, height - 1, topLeft);
    FillSolidRect(hdc, rc.right - 1, rc.top, 1, height, bottomRight);
    FillSolidRect(hdc, rc.left, rc.bottom - 1, width, 1, bottomRight);
}

void CSkinButton::DrawItem(const DRAWITEMSTRUCT* item) {
    HDC hdc = item->hDC;
    m_pressed = (item->itemState & ODS_SELECTED) != 0 || (m_checkBox && m_check == 1);
    m_disabled = (item->itemState & ODS_DISABLED) != 0;
    ::SetBkMode(hdc, TRANSPARENT);
    RECT rc = item->rcItem;

    if (m_transparent)
        PaintParentBackground(m_hWnd, hdc, rc);
    else
        DrawBackground(hdc, rc);

    if (m_pressed || m_hover)
        DrawBorder(hdc, rc);

    std::string caption = GetWindowText();
    RECT captionRc = rc;
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    bool shift = m_pressed && !m_checkBox;

    if (m_icon) {
        RECT iconRc = rc;
        if (!caption.empty()) {
            iconRc.left = rc.left + 3;
            captionRc.left += m_iconWidth + 3;
        } else {
            iconRc.left = rc.left + (width - m_iconWidth) / 2;
        }
        iconRc.top = rc.top + (height - m_iconHeight) / 2;
        if (shift)
            ::OffsetRect(&iconRc, 1, 1);
        ::DrawStateA(hdc, nullptr, nullptr, reinterpret_cast<LPARAM>(m_icon.Get()), 0, iconRc.left, iconRc.top,
                     iconRc.right - iconRc.left, iconRc.bottom - iconRc.top,
                     DST_ICON | (m_disabled ? DSS_DISABLED : DSS_NORMAL));
    }

    if (!caption.empty()) {
        if (shift)
            ::OffsetRect(&captionRc, 1, 1);
        RECT centre = captionRc;
        caption = LayOutCaption(hdc, caption, captionRc);
        RECT text = captionRc;
        ::DrawTextA(hdc, caption.c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
        ::OffsetRect(&text, ((centre.right - centre.left) - (text.right - text.left)) / 2,
                     ((centre.bottom - centre.top) - (text.bottom - text.top)) / 2);
        ::SetBkMode(hdc, TRANSPARENT);
        if (m_disabled) {
            ::OffsetRect(&text, 1, 1);
            ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
            ::DrawTextA(hdc, caption.c_str(), -1, &text, DT_WORDBREAK | DT_CENTER);
            ::OffsetRect(&text, -1, -1);
            ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNSHADOW));
            ::DrawTextA(hdc, caption.c_str(), -1, &text, DT_WORDBREAK | DT_CENTER);
        } else {
            ::SetTextColor(hdc, m_captionColor);
            ::DrawTextA(hdc, caption.c_str(), -1, &text, DT_WORDBREAK | DT_CENTER);
        }
    }
}

void CSkinButton::CancelHover() {
    if (!m_hover)
        return;
    m_hover = false;
    Invalidate();
}

void CSkinButton::OnMouseMove(UINT keys, POINT point) {
    ::ClientToScreen(m_hWnd, &point);
    HWND under = ::WindowFromPoint(point);
    // Entering with the mouse button held gives no hover look.
    if ((keys & MK_LBUTTON) && !m_hover)
        return;
    if (under == m_hWnd) {
        if (!m_hover) {
            m_hover = true;
            Invalidate();
            TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, m_hWnd, 0};
            ::_TrackMouseEvent(&track);
        }
    } else {
        CancelHover();
    }
}

void CSkinButton::OnEnable(bool enabled) {
    if (enabled)
        return;
    // A disabled button gives its focus away; one without focus has nothing to give, and
    // setting focus here would activate a window that is still being built.
    if (::GetFocus() == m_hWnd) {
        HWND parent = GetParent();
        HWND next = ::GetNextDlgTabItem(parent, m_hWnd, FALSE);
        ::SetFocus(next ? next : parent);
    }
    CancelHover();
}

LRESULT CSkinButton::OnSetStyle(UINT style, bool redraw) {
    DWORD type = style & kTypeBits;
    if (type == BS_DEFPUSHBUTTON)
        m_default = true;
    else if (type == BS_PUSHBUTTON)
        m_default = false;
    // Stay owner-drawn while the dialog manager moves the default state around.
    return DefWindowProc(BM_SETSTYLE, (style & ~kTypeBits) | BS_OWNERDRAW, redraw ? TRUE : FALSE);
}

void CSkinButton::OnSetCheck(int check) {
    if (!m_checkBox)
        return;
    m_check = (check == BST_CHECKED || check == BST_INDETERMINATE) ? 1 : 0;
    Invalidate();
}

void CSkinButton::OnClicked() {
    ::SetFocus(m_hWnd);
    if (m_checkBox) {
        m_check = m_check ? 0 : 1;
        Invalidate();
    }
}

LRESULT CSkinButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {  // instead of the default
    case WM_MOUSELEAVE: CancelHover(); return 0;
    case WM_GETDLGCODE:
        return DefWindowProc(msg, wParam, lParam) | (m_default ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case BM_SETSTYLE: return OnSetStyle(static_cast<UINT>(wParam), lParam != FALSE);
    case BM_SETCHECK: OnSetCheck(static_cast<int>(wParam)); return 0;
    case BM_GETCHECK: return m_checkBox ? m_check : 0;
    case WM_LBUTTONDBLCLK:  // a double click acts as two clicks
        return DefWindowProc(WM_LBUTTONDOWN, wParam, lParam);
    }
    LRESULT result = CButton::WindowProc(msg, wParam, lParam);
    switch (msg) {  // after the default
    case WM_MOUSEMOVE: OnMouseMove(static_cast<UINT>(wParam), {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); break;
    case WM_KILLFOCUS:
    case WM_CANCELMODE: CancelHover(); break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            CancelHover();
        break;
    case WM_ENABLE: OnEnable(wParam != FALSE); break;
    }
    return result;
}

bool CSkinButton::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (msg) {
    case WM_DRAWITEM:
        DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return true;
    case WM_COMMAND:
        OnClicked();
        return false;  // the parent still runs the command
    }
    if (tw::IsCtlColorMessage(msg)) {
        *result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return true;
    }
    return CButton::OnChildNotify(msg, wParam, lParam, result);
}

bool CSkinButton::PreTranslateMessage(MSG* msg) {
    // A tool tip acts on mouse messages only, so it is made at the first of them: the
    // window then shows without waiting for one tool-tip window per button.
    bool mouse = msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST;
    if (!m_toolTip.m_hWnd && mouse) {
        m_toolTip.Create(this);
        m_toolTip.Activate(false);
        m_toolTip.SetMaxTipWidth(400);
    }
    if (m_toolTip.m_hWnd)
        m_toolTip.RelayEvent(msg);
    return CButton::PreTranslateMessage(msg);
}
