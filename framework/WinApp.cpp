// CWinApp, WinMain and the dialog colours that reach every dialog box of the thread.
#include "WinApp.h"

#include <cstring>

namespace tw {

namespace {

CWinApp* g_app = nullptr;

// The hook that applies the application's dialog colours to new dialog boxes.
HHOOK g_colourHook = nullptr;
bool g_colourHookPaused = false;
const char kOldProcProp[] = "TwColourOldProc";

bool IsDialogBoxClass(HWND hwnd) {
    char name[16] = {};
    return ::GetClassNameA(hwnd, name, sizeof name) && std::strcmp(name, "#32770") == 0;
}

// Sits under the dialog box procedure of the dialogs that are not ours (message boxes,
// shell dialogs) and answers their colour requests; CDialog answers for our own.
LRESULT CALLBACK DialogColourProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto oldProc = reinterpret_cast<WNDPROC>(::GetPropA(hwnd, kOldProcProp));
    LRESULT colour = 0;
    if (AnswerDialogColour(msg, wParam, &colour))
        return colour;
    switch (msg) {
    case WM_NCDESTROY:
        ::RemovePropA(hwnd, kOldProcProp);
        if (oldProc && reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hwnd, GWLP_WNDPROC)) == &DialogColourProc)
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc));
        break;
    }
    return oldProc ? ::CallWindowProcA(oldProc, hwnd, msg, wParam, lParam)
                   : ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ColourCbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        // Our own dialogs are attached to their CDialog by now (its creation hook runs first).
        if (IsDialogBoxClass(hwnd) && !CWnd::FromHandle(hwnd) && !::GetPropA(hwnd, kOldProcProp)) {
            LONG_PTR old = ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogColourProc));
            if (old)
                ::SetPropA(hwnd, kOldProcProp, reinterpret_cast<HANDLE>(old));
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool AnswerDialogColour(UINT msg, WPARAM wParam, LRESULT* result) {
    if (!g_app || !g_app->m_dialogBrush ||
        (msg != WM_CTLCOLORDLG && msg != WM_CTLCOLORMSGBOX && msg != WM_CTLCOLORSTATIC && msg != WM_CTLCOLORBTN))
        return false;
    HDC hdc = reinterpret_cast<HDC>(wParam);
    LOGBRUSH brush = {};
    ::GetObjectA(g_app->m_dialogBrush.Get(), sizeof brush, &brush);
    ::SetBkColor(hdc, brush.lbColor);
    ::SetTextColor(hdc, g_app->m_dialogText);
    *result = reinterpret_cast<LRESULT>(g_app->m_dialogBrush.Get());
    return true;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app != this)
        return;
    if (g_colourHook)
        ::UnhookWindowsHookEx(g_colourHook);
    g_colourHook = nullptr;
    g_app = nullptr;
}

int CWinApp::Run() {
    MSG msg;
    BOOL got;
    while ((got = ::GetMessageA(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    if (got == 0)
        m_exitCode = static_cast<int>(msg.wParam);
    return ExitInstance();
}

void CWinApp::SetDialogBkColor(COLORREF background, COLORREF text) {
    m_dialogBrush.Reset(::CreateSolidBrush(background));
    m_dialogText = text;
    if (!g_colourHook && !g_colourHookPaused)
        g_colourHook = ::SetWindowsHookExA(WH_CBT, &ColourCbtHook, nullptr, ::GetCurrentThreadId());
}

void PauseDialogColourHook() {
    if (!g_colourHook || !::UnhookWindowsHookEx(g_colourHook))
        return;
    g_colourHook = nullptr;
    g_colourHookPaused = true;
}

void ResumeDialogColourHook() {
    if (!g_colourHookPaused)
        return;
    g_colourHookPaused = false;
    g_colourHook = ::SetWindowsHookExA(WH_CBT, &ColourCbtHook, nullptr, ::GetCurrentThreadId());
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetResourceHandle() { return ::GetModuleHandleA(nullptr); }

HBITMAP AfxLoadBitmap(UINT id) {
    return static_cast<HBITMAP>(
        ::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

int AfxWinMain(HINSTANCE instance, const char* cmdLine) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = instance;
    app->m_cmdLine = cmdLine ? cmdLine : "";
    int code;
    try {
        code = app->InitInstance() ? app->Run() : app->ExitInstance();
    } catch (...) {
        code = 1;
    }
    return code;
}

}  // namespace tw

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
    return tw::AfxWinMain(instance, cmdLine);
}
