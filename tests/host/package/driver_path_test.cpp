// Which service image paths name a driver file under the Windows folder, and
// which manifest names stay inside the folder they are joined to.
#include <gtest/gtest.h>

#include "DriverPath.h"

namespace {

using driver_crate::DriverPathUnderWindows;
using driver_crate::IsContainedRelativePath;

TEST(DriverPath, ImagePathForms) {
    const char* const kWindows = "C:\\WINDOWS";
    struct Row {
        const char* imagePath;
        const char* relative;  // "" when no driver file under the Windows folder
    } rows[] = {
        {"system32\\drivers\\atapi.sys", "system32\\drivers\\atapi.sys"},
        {"System32\\DRIVERS\\Atapi.SYS", "System32\\DRIVERS\\Atapi.SYS"},
        {"\\SystemRoot\\System32\\drivers\\tcpip.sys", "System32\\drivers\\tcpip.sys"},
        {"\\systemroot\\system32\\drivers\\tcpip.sys", "system32\\drivers\\tcpip.sys"},
        {"%SystemRoot%\\system32\\drivers\\ndis.sys", "system32\\drivers\\ndis.sys"},
        {"%windir%\\system32\\drivers\\ndis.sys", "system32\\drivers\\ndis.sys"},
        {"C:\\windows\\system32\\drivers\\kbd.sys", "system32\\drivers\\kbd.sys"},
        {"\\??\\C:\\WINDOWS\\system32\\drivers\\kbd.sys", "system32\\drivers\\kbd.sys"},
        {"\"C:\\WINDOWS\\system32\\drivers\\kbd.sys\"", "system32\\drivers\\kbd.sys"},
        {"C:\\WINDOWSX\\system32\\drivers\\kbd.sys", ""},  // a sibling folder, not the Windows folder
        {"D:\\drivers\\other.sys", ""},
        {"\\??\\D:\\drivers\\other.sys", ""},
        {"\\Device\\Harddisk0\\x.sys", ""},
        {"system32\\svchost.exe -k netsvcs", ""},
        {"system32\\drivers\\..\\..\\boot.sys", ""},  // would leave the Windows folder
        {"system32\\drivers\\", ""},
        {"", ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(DriverPathUnderWindows(row.imagePath, kWindows), row.relative) << row.imagePath;
    EXPECT_EQ(DriverPathUnderWindows("C:\\WINDOWS\\x.sys", "C:\\WINDOWS\\"), "x.sys") << "trailing backslash";
}

TEST(DriverPath, ContainedRelativePaths) {
    struct Row {
        const char* relative;
        bool contained;
    } rows[] = {
        {"system32\\drivers\\atapi.sys", true},
        {"x.sys", true},
        {"..\\x.sys", false},
        {"system32\\..\\..\\x.sys", false},
        {"system32\\.\\x.sys", false},
        {"\\x.sys", false},
        {"C:\\x.sys", false},
        {"system32\\\\x.sys", false},
        {"system32\\", false},
        {"", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(IsContainedRelativePath(row.relative), row.contained) << row.relative;
}

}  // namespace
