// CProgressDialogColours: the colours of the two progress dialogs (removal and fix-ups).
#pragma once

#include "Handles.h"

#include <windows.h>

// Grey behind every control and the dialog, black text; edit boxes, list boxes and the dialog
// itself get a light blue text background. CTimedProgressDlg answers its own colour requests:
// the fix-up dialog runs before start-up registers the dialog colours.
class CProgressDialogColours {
public:
    // Makes the grey brush; called when the dialog opens.
    void Create();
    // The answer to a colour request (WM_CTLCOLOR*) of the dialog or one of its controls.
    LRESULT Answer(UINT msg, HDC dc) const;

private:
    tw::UniqueBrush m_background;
};
