// CColorLabel: a static control that paints a stored text, centred, in a chosen colour over its parent's picture.
#pragma once

#include "Controls.h"

#include <string>

class CColorLabel : public tw::CStatic {
public:
    // Neither repaints: the caller invalidates after a later change.
    void SetLabelText(const char* text) { m_text = text ? text : ""; }
    void SetLabelColor(COLORREF color) { m_color = color; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();

    COLORREF m_color = RGB(0, 0, 0);
    std::string m_text;
};
