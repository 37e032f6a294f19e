// PaintParentBackground: the parent paints into the child's DC, shifted to the child's place.
#include "ParentBackground.h"

void PaintParentBackground(HWND child, HDC hdc, const RECT& rc) {
    HWND parent = ::GetParent(child);
    POINT origin = {rc.left, rc.top};
    ::MapWindowPoints(child, parent, &origin, 1);
    int saved = ::SaveDC(hdc);
    ::IntersectClipRect(hdc, rc.left, rc.top, rc.right, rc.bottom);
    ::SetViewportOrgEx(hdc, rc.left - origin.x, rc.top - origin.y, nullptr);
    ::SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hdc), PRF_CLIENT);
    ::RestoreDC(hdc, saved);
}
