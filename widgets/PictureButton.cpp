// CPictureButton: the parent's painting first, then the picture centred with its margin keyed out.
#include "PictureButton.h"

namespace {

// Asks the parent to paint the part of its client area under child into hdc at rc
// (WM_PRINTCLIENT); a parent that does not answer leaves hdc as it was.
void PaintParentUnder(HWND child, HDC hdc, const RECT& rc) {
    HWND parent = ::GetParent(child);
    POINT origin = {rc.left, rc.top};
    ::MapWindowPoints(child, parent, &origin, 1);
    POINT previous;
    ::SetViewportOrgEx(hdc, rc.left - origin.x, rc.top - origin.y, &previous);
    ::SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hdc), PRF_CLIENT);
    ::SetViewportOrgEx(hdc, previous.x, previous.y, nullptr);
}

}  // namespace

bool CPictureButton::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (msg != WM_DRAWITEM)
        return CBitmapButton::OnChildNotify(msg, wParam, lParam, result);
    DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return true;
}

void CPictureButton::DrawItem(const DRAWITEMSTRUCT* item) {
    const RECT& rc = item->rcItem;
    PaintParentUnder(m_hWnd, item->hDC, rc);
    HBITMAP bitmap = BitmapFor(item->itemState);
    if (!bitmap)
        return;
    BITMAP info = {};
    ::GetObjectA(bitmap, sizeof info, &info);
    // Centred: the margin that does not fit is cut evenly from both sides.
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    int shownWidth = info.bmWidth < width ? info.bmWidth : width;
    int shownHeight = info.bmHeight < height ? info.bmHeight : height;
    int sourceX = (info.bmWidth - shownWidth) / 2, sourceY = (info.bmHeight - shownHeight) / 2;
    int x = rc.left + (width - shownWidth) / 2, y = rc.top + (height - shownHeight) / 2;
    tw::UniqueMemoryDc memory(::CreateCompatibleDC(item->hDC));
    tw::ScopedSelectObject select(memory.Get(), bitmap);
    ::TransparentBlt(item->hDC, x, y, shownWidth, shownHeight, memory.Get(), sourceX, sourceY, shownWidth, shownHeight,
                     kPictureKeyColour);
}
