// CPictureButton: the parent's painting first, then the picture centred with its margin keyed out.
#include "PictureButton.h"

#include "ParentBackground.h"

bool CPictureButton::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (msg != WM_DRAWITEM)
        return CBitmapButton::OnChildNotify(msg, wParam, lParam, result);
    DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return true;
}

void CPictureButton::DrawItem(const DRAWITEMSTRUCT* item) {
    const RECT& rc = item->rcItem;
    PaintParentBackground(m_hWnd, item->hDC, rc);
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
    // gdi32's own entry: msimg32's TransparentBlt only forwards to it, and loading that
    // library would be one more at every start.
    ::GdiTransparentBlt(item->hDC, x, y, shownWidth, shownHeight, memory.Get(), sourceX, sourceY, shownWidth,
                        shownHeight, kPictureKeyColour);
}
