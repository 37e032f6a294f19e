// CSkinButton: a flat push button drawn over its parent's background, with an icon and a hover frame.
#pragma once

#include "Controls.h"
#include "Handles.h"

#include <string>

class CSkinButton : public tw::CButton {
public:
    CSkinButton();

    // Loads the icon at the system's default icon size. False, with the button
    // left without an icon, when the resource is missing.
    bool SetIconResource(UINT iconId);
    // Paint the parent's own painting under the button.
    void SetTransparent(bool repaint);

    bool PreTranslateMessage(MSG* msg) override;
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // Solid fill for a button that is not transparent.
    virtual void DrawBackground(HDC hdc, const RECT& rc);
    // One-pixel 3-D frame inside rc: sunken while pressed, else raised.
    virtual void DrawBorder(HDC hdc, const RECT& rc);

private:
    void DrawItem(const DRAWITEMSTRUCT* item);
    void RepaintIfShown();
    void CancelHover();
    // After the default processing of the message.
    void OnMouseMove(UINT keys, POINT point);
    void OnEnable(bool enabled);
    // Instead of the default processing.
    LRESULT OnSetStyle(UINT style, bool redraw);
    void OnSetCheck(int check);
    void OnClicked();

    bool m_hover = false;
    bool m_transparent = false;
    bool m_pressed = false;
    bool m_disabled = false;
    bool m_default = false;
    bool m_checkBox = false;
    int m_check = 0;
    COLORREF m_captionColor;
    COLORREF m_fillColor;
    tw::CToolTipCtrl m_toolTip;

    tw::UniqueIcon m_icon;
    int m_iconWidth = 0;
    int m_iconHeight = 0;
};
