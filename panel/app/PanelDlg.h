// CPanelDlg: the control panel's main window, a captionless dialog painted with a picture.
#pragma once

#include "ColorLabel.h"
#include "Controls.h"
#include "Dialog.h"
#include "Handles.h"
#include "PictureButton.h"
#include "SkinButton.h"
#include "SnapshotRows.h"
#include "TrayIcon.h"

#include <string>

class CPanelDlg : public tw::CDialog {
public:
    CPanelDlg();

    // Installed: uninstall, the snapshots and restart-into-repair usable; otherwise only install.
    void ShowBootInstalled(bool installed);
    const std::string& ChosenPath() const { return m_path; }

protected:
    void DoDataExchange(tw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Message handlers.
    void OnPaint();
    // Shared by WM_PAINT and WM_PRINTCLIENT.
    void PaintContent(HDC hdc);
    void OnLButtonDown(POINT point);
    // True when the command was the window's own (the about box); false lets the system's run.
    bool OnSysCommand(UINT command);
    void OnTimer(UINT_PTR id);
    void OnClose();
    void OnDestroy();
    void OnTrayNotify(UINT mouseMessage);
    // The read-only path box: white like the panel it sits on, so that it does not look disabled.
    LRESULT OnCtlColorPath(HDC hdc);

    // Command handlers.
    void OnMinimize();
    void OnHide();
    void OnBrowse();
    void OnTransfer();
    void OnRestore();
    void OnInstall();
    void OnUninstall();
    void OnRestartIntoRepair();
    void OnSnapshots();
    void OnDriverTool();
    void OnAbout();
    void OnExitChoice();

    // Start-up steps of OnInitDialog.
    void AppendAboutToSystemMenu();
    void LoadSkins();
    static void StampInstallationRecords(int number);
    // The notification-area tip names the newest snapshot. At a log-on start, today's snapshot
    // missing while installed is said in a balloon, once a day, and in the snapshot dialog.
    void ShowSnapshotHealth(bool logonStart);
    // The window's icon, loaded at first use: making an icon costs a dozen round trips to the
    // window system, and the window shows no icon of its own (it has no caption).
    HICON Icon();

    tw::UniqueBitmap m_background;
    CColorLabel m_pathLabel;
    CTrayIcon m_trayIcon;
    CSkinButton m_repairButton;
    CSkinButton m_driverButton;
    CSkinButton m_installButton;
    CSkinButton m_transferButton;
    CSkinButton m_restoreButton;
    CSkinButton m_aboutButton;
    CSkinButton m_uninstallButton;
    CSkinButton m_snapshotsButton;
    CPictureButton m_browseButton;
    CPictureButton m_minimizeButton;
    CPictureButton m_hideButton;
    std::string m_path;
    SnapshotVerdicts m_snapshotVerdicts;  // what "检查" found, for the life of the panel
    bool m_todayMissingAtLogon = false;
    HICON m_icon = nullptr;  // shared resource icon, never destroyed; loaded by Icon()
};
