// CDialog: modal dialogs from resource templates, with their own modal loop and data exchange.
#pragma once

#include "Wnd.h"

#include <string>

namespace tw {

class CDialog;

// One direction of data exchange between a dialog's members and its controls.
struct CDataExchange {
    CDialog* dialog;
    bool saveAndValidate;  // true: controls -> members
};

// Attaches a control object to the template's control (once).
void DDX_Control(CDataExchange& dx, int id, CWnd& control);
// An edit box's text, at most maxLength characters.
void DDX_Text(CDataExchange& dx, int id, std::string& value, int maxLength);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Creates the dialog, disables its owner and runs the loop until EndDialog or a
    // WM_QUIT; a quit is posted again so that the loop outside this one ends as well.
    // Returns the EndDialog result, or -1 when the dialog could not be made or a quit ended it.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);
    bool UpdateData(bool saveAndValidate);
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

protected:
    // The default binds the controls (UpdateData(false)); true: the system sets the focus.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    // A command (menu, accelerator or control notification code) that no control took;
    // control is null for menus. True when handled; false lets the dialog box default run.
    virtual bool OnCommand(int id, int code, HWND control);
    virtual void OnOK();
    virtual void OnCancel();
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK AttachOnCreate(int code, WPARAM wParam, LPARAM lParam);
    BOOL InitDialog();
    // WM_PRINTCLIENT: a dialog's client painting is its background, the brush of
    // WM_CTLCOLORDLG, as the system erases it. The system's dialog procedure paints
    // nothing for it, which would leave a control that shows its parent through empty.
    void PrintBackground(HDC hdc);
    bool PreTranslateForDialog(MSG* msg);
    HWND OwnerWindow() const;

    UINT m_templateId;
    CWnd* m_parent;
    bool m_ended = false;
    INT_PTR m_result = -1;
};

}  // namespace tw
