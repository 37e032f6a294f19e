// The files of the Windows folder that more than one pass of the boot-time
// program opens: the settings and the hives prepared for the restore pass.
#pragma once

#include "layer.h"

inline constexpr TwChar kSettingsPath[] = TW_TEXT("\\SystemRoot\\wispdata.dat");
// The hive the user-hive request (IsRepair) puts in place.
inline constexpr TwChar kHiveToRestore[] = TW_TEXT("\\SystemRoot\\temp\\TWXT04.XFF");
// The hive the software-hive request (SysRepair) puts in place.
inline constexpr TwChar kSoftwareToRestore[] = TW_TEXT("\\SystemRoot\\temp\\TWSW04.XFF");
