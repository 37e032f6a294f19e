// The parent's own painting under a child control, for controls that draw over it.
#pragma once
#include <windows.h>

// Paints into hdc, clipped to rc (child client coordinates), what the parent shows under the
// child: its client painting (WM_PRINTCLIENT), which our dialogs answer with their background
// and any picture they paint over it.
void PaintParentBackground(HWND child, HDC hdc, const RECT& rc);
