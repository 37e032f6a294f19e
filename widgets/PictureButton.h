// CPictureButton: an owner-drawn button that shows one picture when up and another while pressed,
// centred in the control's real client rectangle over the parent's own painting.
#pragma once

#include "Controls.h"
#include "Handles.h"

// The colour of a picture's margin: where it lies, the parent shows through. A picture is
// drawn with its face inside the smallest rectangle the control gets (a dialog unit is not
// the same number of pixels on every system) and the key colour around it.
const COLORREF kPictureKeyColour = RGB(255, 0, 255);

class CPictureButton : public tw::CBitmapButton {
public:
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void DrawItem(const DRAWITEMSTRUCT* item);
};
