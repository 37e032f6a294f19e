// CPanelDlg: the control panel's main window, a captionless dialog painted with a picture.
#pragma once

#include "ColorLabel.h"
#include "Controls.h"
#include "Dialog.h"
#include "Handles.h"
#include "SkinButton.h"

#include <shellapi.h>

#include <string>

class CPanelDlg : public tw::CDialog {
public:
    CPanelDlg();

    BOOL DestroyWindow() override;

    // Installed: uninstall and restart-into-repair usable; otherwise only install.
    void ShowBootInstalled(bool installed);
    const std::string& ChosenPath() const { return m_path; }

protected:
    void DoDataExchange(tw::CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Message handlers.
    void OnPaint();
    // Shared by WM_PAINT and WM_PRINTCLIENT.
    void PaintContent(HDC hdc);
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    void OnClose();
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);

    // Command handlers.
    bool OnMinimize();
    bool OnHide();
    bool OnBrowse();
    bool OnTransfer();
    bool OnRestore();
    bool OnInstall();
    bool OnUninstall();
    bool OnRestartIntoRepair();
    bool OnDriverTool();
    bool OnAbout();
    bool OnExitChoice();

    // Start-up steps of OnInitDialog.
    void AppendAboutToSystemMenu();
    void LoadSkins();
    static void StampInstallationRecords(int number);
    void AddTrayIcon();
    void RemoveTrayIcon();

    tw::UniqueBitmap m_background;
    CColorLabel m_pathLabel;
    NOTIFYICONDATAA m_trayIcon;
    CSkinButton m_repairButton;
    CSkinButton m_driverButton;
    CSkinButton m_installButton;
    CSkinButton m_transferButton;
    CSkinButton m_restoreButton;
    CSkinButton m_aboutButton;
    CSkinButton m_uninstallButton;
    tw::CBitmapButton m_browseButton;
    tw::CBitmapButton m_minimizeButton;
    tw::CBitmapButton m_hideButton;
    std::string m_path;
    HICON m_icon;  // shared resource icon, never destroyed
};
