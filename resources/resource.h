// Resource identifiers of the control panel (dialogs, controls, pictures, menu and strings).
#pragma once

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_PANEL 102
#define IDD_FIXUP 147
#define IDD_UNINSTALL_BOOT 149
#define IDD_CLOSE_CHOICE 152
#define IDD_SNAPSHOTS 156

// Strings and menus
#define IDS_ABOUTBOX 101
#define IDR_TRAY_MENU 153

// Icons
#define IDR_MAINFRAME 128
#define IDI_REPAIR 136
#define IDI_TRANSFER 139
#define IDI_RESTORE 141
#define IDI_ABOUT 142
#define IDI_UNINSTALL 144
#define IDI_INSTALL 150
#define IDI_DRIVER 154
#define IDI_SNAPSHOTS 155

// Bitmaps
#define IDB_BACKGROUND 130
#define IDB_HIDE_UP 131
#define IDB_HIDE_DOWN 132
#define IDB_MINIMIZE_DOWN 133
#define IDB_MINIMIZE_UP 134
#define IDB_BROWSE_UP 137
#define IDB_BROWSE_DOWN 138

// Controls
#define IDC_MINIMIZE 1000
#define IDC_HIDE 1001
#define IDC_PATH 1003
#define IDC_BROWSE 1004
#define IDC_PATH_LABEL 1005
#define IDC_TRANSFER 1006
#define IDC_RESTORE 1007
#define IDC_UNINSTALL 1009
#define IDC_ABOUT 1010
#define IDC_INSTALL 1011
#define IDC_DRIVER 1012
#define IDC_PROGRESS 1013
#define IDC_REPAIR 1014
#define IDC_SNAPSHOTS 1015
#define IDC_RUN_BACKGROUND 1019
#define IDC_EXIT_PROGRAM 1020
#define IDC_SNAPSHOT_STATUS 1021
#define IDC_SNAPSHOT_LIST 1022
#define IDC_CHECK_STATUS 1023
#define IDC_CHECK 1024
#define IDC_RESTORE_USER 1025
#define IDC_RESTORE_SYSTEM 1027
#define IDC_UNDO_RESTORE 1028

// Commands
#define IDM_ABOUTBOX 0x0010
#define ID_TRAY_EXIT 32771
#define ID_TRAY_ABOUT 32772

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
