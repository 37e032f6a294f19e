// CPanelDlg: start-up steps, painting, moving and the command table of the main window.
#include "PanelDlg.h"

#include "AboutDlg.h"
#include "AutoRun.h"
#include "CloseChoiceDlg.h"
#include "DriverRestore.h"
#include "DriverTool.h"
#include "FavoritesTransfer.h"
#include "FolderPicker.h"
#include "InstallBoot.h"
#include "PanelUtil.h"
#include "Restart.h"
#include "SettingsPath.h"
#include "SettingsValues.h"
#include "SnapshotDlg.h"
#include "UninstallBoot.h"
#include "WinApp.h"
#include "resource.h"

#include <commctrl.h>
#include <shellapi.h>
#include <uxtheme.h>
#include <windowsx.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {
const UINT_PTR kStartupTimer = 1;
const UINT kStartupDelayMs = 800;
// The window's icons and the notification-area icon wait for this timer: a timer message
// comes only once the window and its controls have painted. Neither shows in the window
// (it has no caption), and both are slow: the icon is converted for the window system and
// adding it to the notification area is a round trip to the shell.
const UINT_PTR kIconsTimer = 2;
}  // namespace

CPanelDlg::CPanelDlg() : tw::CDialog(IDD_PANEL) {}

HICON CPanelDlg::Icon() {
    if (!m_icon)
        m_icon = ::LoadIconA(tw::AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    return m_icon;
}

void CPanelDlg::DoDataExchange(tw::CDataExchange& dx) {
    tw::DDX_Control(dx, IDC_REPAIR, m_repairButton);
    tw::DDX_Control(dx, IDC_DRIVER, m_driverButton);
    tw::DDX_Control(dx, IDC_INSTALL, m_installButton);
    tw::DDX_Control(dx, IDC_TRANSFER, m_transferButton);
    tw::DDX_Control(dx, IDC_RESTORE, m_restoreButton);
    tw::DDX_Control(dx, IDC_ABOUT, m_aboutButton);
    tw::DDX_Control(dx, IDC_UNINSTALL, m_uninstallButton);
    tw::DDX_Control(dx, IDC_SNAPSHOTS, m_snapshotsButton);
    tw::DDX_Control(dx, IDC_BROWSE, m_browseButton);
    tw::DDX_Control(dx, IDC_MINIMIZE, m_minimizeButton);
    tw::DDX_Control(dx, IDC_HIDE, m_hideButton);
    tw::DDX_Text(dx, IDC_PATH, m_path, static_cast<int>(kChosenPathMaxLength));
}

BOOL CPanelDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    AppendAboutToSystemMenu();
    // No caption bar: the picture is the whole window; the system menu stays reachable.
    ModifyStyle(WS_CAPTION, WS_MINIMIZEBOX, SWP_FRAMECHANGED);
    SetWindowText(kPanelTitle);
    ::SetTimer(m_hWnd, kIconsTimer, USER_TIMER_MINIMUM, nullptr);
    m_background.Reset(tw::AfxLoadBitmap(IDB_BACKGROUND));
    LoadSkins();
    ShowBootInstalled(IsBootInstalled());
    // The bar never moves: a faint track, not a second white box under the path. A visual
    // style would paint over the colour, so the bar keeps the classic look.
    ::SetWindowTheme(GetDlgItem(IDC_PROGRESS), L" ", L" ");
    ::SendDlgItemMessageA(m_hWnd, IDC_PROGRESS, PBM_SETBKCOLOR, 0, RGB(222, 230, 240));

    m_pathLabel.SubclassDlgItem(IDC_PATH_LABEL, this);
    m_pathLabel.SetLabelText("选择转移或还原路径：");
    m_pathLabel.SetLabelColor(RGB(0, 0, 0));

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    int number = std::rand() % 10000;
    if (tw::AfxGetApp()->m_cmdLine == "/AddDate")
        StampInstallationRecords(number);
    ::SetFileAttributesA(kDriveSettingsPath, FILE_ATTRIBUTE_HIDDEN);

    ::SetTimer(m_hWnd, kStartupTimer, kStartupDelayMs, nullptr);
    return TRUE;
}

void CPanelDlg::AppendAboutToSystemMenu() {
    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    char text[256] = {};
    if (!systemMenu || ::LoadStringA(tw::AfxGetResourceHandle(), IDS_ABOUTBOX, text, sizeof text) <= 0)
        return;
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}

void CPanelDlg::LoadSkins() {
    m_hideButton.LoadBitmaps(IDB_HIDE_UP, IDB_HIDE_DOWN);
    m_minimizeButton.LoadBitmaps(IDB_MINIMIZE_UP, IDB_MINIMIZE_DOWN);
    m_browseButton.LoadBitmaps(IDB_BROWSE_UP, IDB_BROWSE_DOWN);

    struct Skin {
        CSkinButton* button;
        UINT icon;
    };
    const Skin skins[] = {
        {&m_transferButton, IDI_TRANSFER}, {&m_restoreButton, IDI_RESTORE},  {&m_aboutButton, IDI_ABOUT},
        {&m_uninstallButton, IDI_UNINSTALL}, {&m_installButton, IDI_INSTALL}, {&m_driverButton, IDI_DRIVER},
        {&m_repairButton, IDI_REPAIR}, {&m_snapshotsButton, IDI_SNAPSHOTS},
    };
    for (const Skin& skin : skins) {
        skin.button->SetIconResource(skin.icon);
        skin.button->SetTransparent(true);
    }
}

void CPanelDlg::ShowBootInstalled(bool installed) {
    m_installButton.EnableWindow(!installed);
    m_uninstallButton.EnableWindow(installed);
    m_repairButton.EnableWindow(installed);
    m_snapshotsButton.EnableWindow(installed);
}

void CPanelDlg::ShowSnapshotHealth(bool logonStart) {
    SnapshotListing listing = ReadSnapshotListing(m_snapshotVerdicts);
    m_trayIcon.SetTip(SnapshotTipText(kPanelTitle, listing.rows).c_str());
    if (!logonStart || !IsBootInstalled())
        return;
    m_todayMissingAtLogon = TodaysSnapshotMissing(listing.files);
    if (m_todayMissingAtLogon && FirstSnapshotWarningOfDay(TodayAsBootReckons()))
        m_trayIcon.ShowBalloon(kPanelTitle, kTodayMissingWarning);
}

void CPanelDlg::StampInstallationRecords(int number) {
    // Both files get the same number; a file that is missing is left alone.
    const std::string paths[] = {WindowsSettingsPath(), kDriveSettingsPath};
    for (const std::string& path : paths) {
        tw::UniqueFile settings = OpenSettingsFile(path);
        if (settings)
            StampSettings(settings.Get(), number);
    }
}

// ---------------------------------------------------------------- messages

LRESULT CPanelDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {  // instead of the default
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND:  // the picture covers the whole window; grey first would be wasted
        if (m_background && !IsIconic())
            return TRUE;
        break;
    case WM_PRINTCLIENT: PaintContent(reinterpret_cast<HDC>(wParam)); return 0;
    case WM_QUERYDRAGICON: return reinterpret_cast<LRESULT>(Icon());
    case WM_SYSCOMMAND:
        if (OnSysCommand(static_cast<UINT>(wParam)))
            return 0;
        break;
    case WM_CLOSE: OnClose(); return 0;
    case kTrayMessage: OnTrayNotify(static_cast<UINT>(lParam)); return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(IDC_PATH))
            return OnCtlColorPath(reinterpret_cast<HDC>(wParam));
        break;
    }
    LRESULT result = CDialog::WindowProc(msg, wParam, lParam);
    switch (msg) {  // after the default
    case WM_LBUTTONDOWN: OnLButtonDown({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); break;
    case WM_TIMER: OnTimer(wParam); break;
    case WM_DESTROY: OnDestroy(); break;
    }
    return result;
}

void CPanelDlg::OnPaint() {
    tw::PaintDC dc(m_hWnd);
    if (!IsIconic()) {
        PaintContent(dc.Get());
        return;
    }
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()));
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc.Get(), x, y, Icon());
}

void CPanelDlg::PaintContent(HDC hdc) {
    if (!m_background)
        return;
    BITMAP info = {};
    ::GetObjectA(m_background.Get(), sizeof info, &info);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    tw::UniqueMemoryDc memory(::CreateCompatibleDC(hdc));
    tw::ScopedSelectObject select(memory.Get(), m_background.Get());
    ::StretchBlt(hdc, 0, 0, rc.right - rc.left, rc.bottom - rc.top, memory.Get(), 0, 0, info.bmWidth, info.bmHeight,
                 SRCCOPY);
}

LRESULT CPanelDlg::OnCtlColorPath(HDC hdc) {
    ::SetTextColor(hdc, RGB(0, 0, 0));
    ::SetBkColor(hdc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
}

void CPanelDlg::OnLButtonDown(POINT point) {
    // Without a caption bar the window is moved by dragging anywhere on its picture.
    ::ClientToScreen(m_hWnd, &point);
    ::PostMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
}

bool CPanelDlg::OnSysCommand(UINT command) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    OnAbout();
    return true;
}

void CPanelDlg::OnTimer(UINT_PTR id) {
    ::KillTimer(m_hWnd, id);
    if (id == kIconsTimer) {
        SetIcon(Icon(), true);
        SetIcon(Icon(), false);
        m_trayIcon.Add(m_hWnd, Icon(), kPanelTitle);
        ShowSnapshotHealth(tw::AfxGetApp()->m_cmdLine == "/h");
        return;
    }
    if (tw::AfxGetApp()->m_cmdLine == "/h")
        ShowWindow(SW_HIDE);
    CheckPendingDriverRestore(m_hWnd);
}

// Closing asks whether to run in the background or to exit; it never destroys by itself.
void CPanelDlg::OnClose() { OnExitChoice(); }

void CPanelDlg::OnDestroy() { m_trayIcon.Remove(); }

void CPanelDlg::OnTrayNotify(UINT mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        ShowWindow(SW_SHOW);  // a minimised window stays minimised
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_ERASE | RDW_UPDATENOW);
        break;
    case WM_RBUTTONDOWN: CTrayIcon::ShowMenu(m_hWnd); break;
    }
}

// ---------------------------------------------------------------- commands

bool CPanelDlg::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_MINIMIZE: OnMinimize(); return true;
    case IDC_HIDE: OnHide(); return true;
    case IDC_BROWSE: OnBrowse(); return true;
    case IDC_TRANSFER: OnTransfer(); return true;
    case IDC_RESTORE: OnRestore(); return true;
    case IDC_INSTALL: OnInstall(); return true;
    case IDC_UNINSTALL: OnUninstall(); return true;
    case IDC_REPAIR: OnRestartIntoRepair(); return true;
    case IDC_SNAPSHOTS: OnSnapshots(); return true;
    case IDC_DRIVER: OnDriverTool(); return true;
    case IDC_ABOUT:
    case ID_TRAY_ABOUT: OnAbout(); return true;
    case ID_TRAY_EXIT: OnExitChoice(); return true;
    }
    return CDialog::OnCommand(id, code, control);
}

void CPanelDlg::OnMinimize() { ShowWindow(SW_SHOWMINIMIZED); }

void CPanelDlg::OnInstall() {
    InstallBootIntegration(m_hWnd, [this](bool installed) {
        ShowBootInstalled(installed);
        ShowSnapshotHealth(false);
    });
}

void CPanelDlg::OnUninstall() {
    UninstallBootIntegration(m_hWnd, [this](bool installed) {
        ShowBootInstalled(installed);
        ShowSnapshotHealth(false);
    });
}

void CPanelDlg::OnRestartIntoRepair() { RestartIntoRepair(m_hWnd); }

void CPanelDlg::OnSnapshots() {
    CSnapshotDlg snapshots(&m_snapshotVerdicts, m_todayMissingAtLogon);
    snapshots.DoModal();
}

void CPanelDlg::OnDriverTool() { StartDriverTool(""); }

void CPanelDlg::OnBrowse() {
    CFolderPicker picker("选择目标文件夹");
    if (!picker.Browse(m_hWnd))
        return;
    // A longer path would be cut in the box and name another folder.
    if (std::strlen(picker.PickedPath()) > kChosenPathMaxLength) {
        ShowNotice(m_hWnd, "所选文件夹的路径超过256个字符，请选择路径较短的文件夹。");
        return;
    }
    m_path = picker.PickedPath();
    UpdateData(false);
}

void CPanelDlg::OnHide() { ShowWindow(SW_HIDE); }

void CPanelDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal();
}

void CPanelDlg::OnExitChoice() {
    CCloseChoiceDlg choice(this);
    choice.DoModal();
}

void CPanelDlg::OnTransfer() { TransferFavorites(m_hWnd, m_path); }

void CPanelDlg::OnRestore() { RestoreFavorites(m_hWnd, m_path); }
