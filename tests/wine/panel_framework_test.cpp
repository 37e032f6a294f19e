// In-process checks of the dialog framework and the skinned button under Wine: nested modal
// loops and WM_QUIT, the registered dialog colours, subclassing teardown, CSkinButton's
// dialog-manager behaviour, reflection that reaches a control once. Uses the control
// panel's own dialog templates.
#include "Dialog.h"
#include "Handles.h"
#include "SkinButton.h"
#include "WinApp.h"
#include "resource.h"
#include "wine_test.h"

#include <commctrl.h>

#include <functional>

namespace {

class TestApp : public tw::CWinApp {};
TestApp theApp;

const COLORREF kGrey = RGB(222, 222, 222);

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH info = {};
    if (!brush || !GetObjectA(brush, sizeof info, &info))
        return CLR_INVALID;
    return info.lbColor;
}

// A memory DC with a bitmap of its own, compatible with hdc.
struct Canvas {
    Canvas(HDC hdc, int width, int height)
        : dc(CreateCompatibleDC(hdc)), bitmap(CreateCompatibleBitmap(hdc, width, height)), selected(dc.Get(), bitmap.Get()) {}
    tw::UniqueMemoryDc dc;
    tw::UniqueBitmap bitmap;
    tw::ScopedSelectObject selected;
};

// A dialog whose initialisation runs a test body once the loop is running.
class ScriptedDialog : public tw::CDialog {
public:
    ScriptedDialog(UINT id, std::function<void(ScriptedDialog&)> body, tw::CWnd* parent = nullptr)
        : tw::CDialog(id, parent), m_body(std::move(body)) {}

    int clicks = 0;
    int lastClickedId = 0;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        ::SetTimer(m_hWnd, 1, 50, nullptr);
        return TRUE;
    }
    bool OnCommand(int id, int code, HWND control) override {
        if (code == BN_CLICKED && control) {
            ++clicks;
            lastClickedId = id;
        }
        return CDialog::OnCommand(id, code, control);
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_TIMER && wParam == 1) {
            ::KillTimer(m_hWnd, 1);
            m_body(*this);
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }

private:
    std::function<void(ScriptedDialog&)> m_body;
};

void TestNestedQuit() {
    INT_PTR innerResult = 0;
    bool outerSawInnerEnd = false;
    ScriptedDialog outer(IDD_CLOSE_CHOICE, [&](ScriptedDialog& self) {
        ScriptedDialog inner(IDD_UNINSTALL_BOOT, [](ScriptedDialog&) { ::PostQuitMessage(7); }, &self);
        innerResult = inner.DoModal();
        outerSawInnerEnd = true;
        CHECK(::IsWindowEnabled(self.m_hWnd) != FALSE, "owner enabled again after the inner dialog");
    });
    INT_PTR outerResult = outer.DoModal();
    CHECK(outerSawInnerEnd && innerResult == -1, "a posted quit ends the inner modal loop (%d)", static_cast<int>(innerResult));
    CHECK(outerResult == -1, "and then the outer one (%d)", static_cast<int>(outerResult));
    MSG msg;
    bool quitLeft = ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.message == WM_QUIT;
    CHECK(quitLeft && msg.wParam == 7, "the quit is handed on to the loop outside, code kept");
    CHECK(theApp.m_exitCode == 7, "the quit code becomes the exit code");
}

void TestEndDialogAndTeardown() {
    CSkinButton button;
    HWND buttonWindow = nullptr;
    ScriptedDialog dialog(IDD_FIXUP, [&](ScriptedDialog& self) {
        buttonWindow = self.GetDlgItem(IDC_REPAIR);
        button.SubclassWindow(buttonWindow);
        self.EndDialog(42);
    });
    CHECK(dialog.DoModal() == 42, "EndDialog's result comes back from DoModal");
    CHECK(dialog.m_hWnd == nullptr && button.m_hWnd == nullptr, "dialog and control objects detached after the run");
    CHECK(!::IsWindow(buttonWindow), "the dialog's windows are gone");
}

// The registered colours reach message boxes made by the system.
HHOOK g_boxHook;
COLORREF g_boxColour = CLR_INVALID;
COLORREF g_boxTextColour = CLR_INVALID;

LRESULT CALLBACK MessageBoxHook(int code, WPARAM wParam, LPARAM lParam) {
    char className[16] = {};
    // The first dialog box activated is the message box; the dialog under it may follow.
    if (code == HCBT_ACTIVATE && g_boxColour == CLR_INVALID &&
        GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className) && lstrcmpA(className, "#32770") == 0) {
        HWND box = reinterpret_cast<HWND>(wParam);
        tw::ScopedGetDC hdc(box);
        g_boxColour = BrushColour(reinterpret_cast<HBRUSH>(
            SendMessageA(box, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(hdc.Get()), reinterpret_cast<LPARAM>(box))));
        SendMessageA(box, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc.Get()), reinterpret_cast<LPARAM>(box));
        g_boxTextColour = GetTextColor(hdc.Get());
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(g_boxHook, code, wParam, lParam);
}

void TestDialogColours() {
    theApp.SetDialogBkColor(kGrey, RGB(0, 0, 0));
    g_boxHook = SetWindowsHookExA(WH_CBT, &MessageBoxHook, nullptr, GetCurrentThreadId());
    MessageBoxA(nullptr, "colour", "提示", MB_OK | MB_ICONINFORMATION);
    UnhookWindowsHookEx(g_boxHook);
    CHECK(g_boxColour == kGrey, "message box background is the registered grey (%06lx)", g_boxColour);
    CHECK(g_boxTextColour == RGB(0, 0, 0), "message box text is black (%06lx)", g_boxTextColour);

    COLORREF dialogColour = CLR_INVALID, radioColour = CLR_INVALID, printedColour = CLR_INVALID;
    g_boxColour = CLR_INVALID;
    ScriptedDialog dialog(IDD_CLOSE_CHOICE, [&](ScriptedDialog& self) {
        {
            tw::ScopedGetDC hdc(self.m_hWnd);
            dialogColour = BrushColour(reinterpret_cast<HBRUSH>(self.SendMessage(
                WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(hdc.Get()), reinterpret_cast<LPARAM>(self.m_hWnd))));
            radioColour = BrushColour(reinterpret_cast<HBRUSH>(self.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(hdc.Get()),
                reinterpret_cast<LPARAM>(self.GetDlgItem(IDC_RUN_BACKGROUND)))));
            // A control that shows its parent through asks for the parent's client painting.
            Canvas canvas(hdc.Get(), 8, 8);
            self.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc.Get()), PRF_CLIENT);
            printedColour = GetPixel(canvas.dc.Get(), 4, 4);
        }
        // The colour hook stood aside while the template's controls were made; it is back.
        g_boxHook = SetWindowsHookExA(WH_CBT, &MessageBoxHook, nullptr, GetCurrentThreadId());
        MessageBoxA(self.m_hWnd, "colour", "提示", MB_OK);
        UnhookWindowsHookEx(g_boxHook);
        self.EndDialog(IDOK);
    });
    dialog.DoModal();
    CHECK(dialogColour == kGrey, "our dialogs get the grey background (%06lx)", dialogColour);
    CHECK(radioColour == kGrey, "and their buttons' colour requests too (%06lx)", radioColour);
    CHECK(printedColour == kGrey, "a dialog prints its client area in its background colour (%06lx)", printedColour);
    CHECK(g_boxColour == kGrey, "a message box over our dialog gets the grey too (%06lx)", g_boxColour);
}

void TestSkinButton() {
    CSkinButton button;
    ScriptedDialog dialog(IDD_FIXUP, [&](ScriptedDialog& self) {
        HWND hwnd = self.GetDlgItem(IDC_REPAIR);
        button.SubclassWindow(hwnd);
        auto type = [&] { return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)) & 0x0F; };
        CHECK(type() == BS_OWNERDRAW, "subclassing makes the button owner-drawn");
        CHECK(button.SetIconResource(IDI_REPAIR), "icon 136 loads");
        CHECK(!button.SetIconResource(9999), "a missing icon leaves the button without one");
        // The real pointer stays away; the snapshot is taken at the next paint of the dialog.
        SetCursorPos(0, 0);
        button.SetTransparent(true);
        RedrawWindow(self.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

        SendMessageA(hwnd, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        CHECK(type() == BS_OWNERDRAW, "BM_SETSTYLE keeps it owner-drawn");
        CHECK((SendMessageA(hwnd, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0, "default push button after BS_DEFPUSHBUTTON");
        SendMessageA(hwnd, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        CHECK((SendMessageA(hwnd, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON) != 0, "plain push button after BS_PUSHBUTTON");

        SendMessageA(hwnd, BM_SETCHECK, BST_CHECKED, 0);
        CHECK(SendMessageA(hwnd, BM_GETCHECK, 0, 0) == 0, "a push button has no check state");

        LRESULT brush = self.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(tw::ScopedGetDC(self.m_hWnd).Get()),
                                         reinterpret_cast<LPARAM>(hwnd));
        CHECK(brush == reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)), "colour request reflected: hollow brush");

        // A double click is two clicks.
        self.clicks = 0;
        SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        SendMessageA(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        CHECK(self.clicks == 2 && self.lastClickedId == IDC_REPAIR, "double click runs the command twice (%d)", self.clicks);
        CHECK(GetFocus() == hwnd, "a click gives the button the focus");

        // Disabling moves the focus on; with no other tab stop, to the dialog.
        SetFocus(hwnd);
        EnableWindow(hwnd, FALSE);
        CHECK(GetFocus() != hwnd, "disabling the focused button moves the focus away");

        // Drawing: the cached parent background first, then the frame by hover and press.
        EnableWindow(hwnd, TRUE);
        RECT rc;
        GetClientRect(hwnd, &rc);
        const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
        struct Corners {
            COLORREF topLeft, topRight, bottomLeft, bottomRight;
        };
        auto draw = [&](UINT state) {
            Canvas canvas(tw::ScopedGetDC(hwnd).Get(), rc.right, rc.bottom);
            HDC memory = canvas.dc.Get();
            FillRect(memory, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            DRAWITEMSTRUCT item = {ODT_BUTTON, IDC_REPAIR, 0, ODA_DRAWENTIRE, state, hwnd, memory, rc, 0};
            self.SendMessage(WM_DRAWITEM, IDC_REPAIR, reinterpret_cast<LPARAM>(&item));
            return Corners{GetPixel(memory, 0, 0), GetPixel(memory, rc.right - 1, 0), GetPixel(memory, 0, rc.bottom - 1),
                           GetPixel(memory, rc.right - 1, rc.bottom - 1)};
        };
        Corners plain = draw(0);
        COLORREF parentColour = BrushColour(reinterpret_cast<HBRUSH>(self.SendMessage(
            WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(tw::ScopedGetDC(self.m_hWnd).Get()), reinterpret_cast<LPARAM>(self.m_hWnd))));
        CHECK(plain.topLeft == parentColour && plain.bottomRight == parentColour,
              "transparent button paints the parent's background (%06lx, the dialog's is %06lx)", plain.topLeft,
              parentColour);
        CHECK(plain.topLeft != light || plain.bottomRight != dark, "no frame while the mouse is elsewhere");

        SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 5));
        Corners held = draw(0);
        CHECK(held.topLeft == plain.topLeft, "entering with the mouse button held gives no hover frame");
        SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        Corners hover = draw(0);
        CHECK(hover.topLeft == light && hover.topRight == dark && hover.bottomLeft == dark && hover.bottomRight == dark,
              "hover: raised frame, highlight only at the top-left corner (%06lx %06lx %06lx %06lx)", hover.topLeft,
              hover.topRight, hover.bottomLeft, hover.bottomRight);
        Corners pressed = draw(ODS_SELECTED);
        CHECK(pressed.topLeft == dark && pressed.topRight == light && pressed.bottomLeft == light,
              "pressed: sunken frame (%06lx %06lx %06lx)", pressed.topLeft, pressed.topRight, pressed.bottomLeft);
        SendMessageA(hwnd, WM_MOUSELEAVE, 0, 0);
        CHECK(draw(0).topLeft == plain.topLeft, "leaving the button removes the frame");
        SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        EnableWindow(hwnd, FALSE);
        CHECK(draw(ODS_DISABLED).topLeft == plain.topLeft, "disabling removes the hover frame");
        self.EndDialog(IDOK);
    });
    dialog.DoModal();

    // A button disabled while another control has the focus leaves the focus there.
    CSkinButton uninstall;
    ScriptedDialog panel(IDD_PANEL, [&](ScriptedDialog& self) {
        uninstall.SubclassWindow(self.GetDlgItem(IDC_UNINSTALL));
        HWND install = self.GetDlgItem(IDC_INSTALL);
        SetFocus(install);
        uninstall.EnableWindow(FALSE);
        CHECK(GetFocus() == install, "disabling a button without the focus leaves the focus where it was");
        self.EndDialog(IDOK);
    });
    panel.DoModal();
}

// Counts the commands that reach it as a control.
class CountingButton : public tw::CButton {
public:
    int commands = 0;
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (msg == WM_COMMAND)
            ++commands;
        return CButton::OnChildNotify(msg, wParam, lParam, result);
    }
};

// The dialog declines both commands below, so each goes on to the default after reflection.
void TestReflectionOnce() {
    const int kCheckBoxId = 2001;
    CountingButton counted;
    CSkinButton checkBox;
    ScriptedDialog dialog(IDD_CLOSE_CHOICE, [&](ScriptedDialog& self) {
        HWND radio = self.GetDlgItem(IDC_EXIT_PROGRAM);
        counted.SubclassWindow(radio);
        SendMessageA(radio, BM_CLICK, 0, 0);
        CHECK(counted.commands == 1, "a command the dialog declines reaches its control once (%d)", counted.commands);
        CHECK(self.clicks == 1, "and the dialog once (%d)", self.clicks);

        HWND box = CreateWindowExA(0, "BUTTON", "check", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 5, 60, 60,
                                   14, self.m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckBoxId)),
                                   GetModuleHandleA(nullptr), nullptr);
        checkBox.SubclassWindow(box);
        SendMessageA(box, BM_CLICK, 0, 0);
        CHECK(SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED, "check-box mode: one click checks the button");
        SendMessageA(box, BM_CLICK, 0, 0);
        CHECK(SendMessageA(box, BM_GETCHECK, 0, 0) == BST_UNCHECKED, "check-box mode: the next click clears it");
        self.EndDialog(IDOK);
    });
    dialog.DoModal();
}

SCENARIO(framework) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    TestNestedQuit();
    TestEndDialogAndTeardown();
    TestDialogColours();
    TestSkinButton();
    TestReflectionOnce();
}

}  // namespace
