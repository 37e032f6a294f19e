// The parent's own painting under a child control, for controls that draw over it.
#pragma once
#include <windows.h>

// Paints into hdc, clipped to rc (child client coordinates), what the parent shows under the
// child: its background (WM_ERASEBKGND) and then its client painting (WM_PRINTCLIENT). A parent
// that does not answer WM_PRINTCLIENT still gives its background.
void PaintParentBackground(HWND child, HDC hdc, const RECT& rc);
