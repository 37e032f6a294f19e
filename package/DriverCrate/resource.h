// Resource identifiers of DriverCrate.exe.
#pragma once

#define IDD_DRIVERCRATE 100
#define IDC_BACKUP 1001
#define IDC_RESTORE 1002
#define IDC_STATUS 1003

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
