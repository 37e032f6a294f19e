// The paths that service ImagePath values and autostart commands are checked by, with C:\WINDOWS as the Windows folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PathRules.h"

namespace {

const char kWindows[] = "C:\\WINDOWS";

// The environment of the rows: one variable, as the system spells its value.
std::string Expand(const std::string& text) {
    std::string out = text;
    const std::string name = "%programfiles%";
    for (std::size_t at; (at = out.find(name)) != std::string::npos;)
        out.replace(at, name.size(), "C:\\Program Files");
    return out;
}

std::string Folders31() {
    std::string folders;
    for (int i = 0; i < 31; ++i)
        folders += "\\x";
    return folders;
}

std::string Show(const std::vector<std::string>& paths) {
    std::string shown;
    for (const std::string& path : paths)
        shown += "[" + path + "] ";
    return shown;
}

TEST(PathRules, CommandLinesNameTheseProgramPaths) {
    enum Kind { kImage, kRun };
    struct Row {
        const char* what;
        Kind kind;
        std::string text;
        std::vector<std::string> paths;  // the old rule's guess first
        bool tooLong;
    } rows[] = {
        // The service examples.
        {"%SystemRoot% with arguments", kImage, "%SystemRoot%\\System32\\svchost.exe -k netsvcs",
         {"C:\\WINDOWS\\system32\\svchost.exe", "C:\\WINDOWS\\system32\\svchost.exe -k",
          "C:\\WINDOWS\\system32\\svchost.exe -k netsvcs"}, false},
        {"\\SystemRoot", kImage, "\\SystemRoot\\System32\\drivers\\x.sys", {"C:\\WINDOWS\\system32\\drivers\\x.sys"}, false},
        {"\\??\\", kImage, "\\??\\C:\\x\\y.sys", {"c:\\x\\y.sys"}, false},
        {"bare system32", kImage, "System32\\DRIVERS\\x.sys", {"C:\\WINDOWS\\system32\\drivers\\x.sys"}, false},
        {"quoted, blanks in folder and file name", kImage, "\"C:\\Program Files\\My App\\my app.exe\"",
         {"c:\\program files\\my app\\my", "c:\\program files\\my app\\my app.exe"}, false},
        // The small rules.
        {"%systemroot% in any case", kImage, "%SYSTEMROOT%\\x.sys", {"C:\\WINDOWS\\x.sys"}, false},
        {"every %systemroot% replaced", kImage, "%SystemRoot%\\x\\%SystemRoot%.sys", {"C:\\WINDOWS\\x\\C:\\WINDOWS.sys"}, false},
        {"\\systemroot loses its first 11 characters only", kImage, "\\SystemRoot\\x\\SystemRoot\\y.sys",
         {"C:\\WINDOWS\\x\\systemroot\\y.sys"}, false},
        {"\\systemroot glued to a name", kImage, "\\SystemRootX\\y.sys", {"C:\\WINDOWSx\\y.sys"}, false},
        {"every \\??\\ deleted", kImage, "\\??\\C:\\a\\??\\b.sys", {"c:\\ab.sys"}, false},
        {"begins with means at position 0", kImage, "C:\\x\\System32\\y.sys", {"c:\\x\\system32\\y.sys"}, false},
        {"first rule wins", kImage, "\\??\\%SystemRoot%\\y.sys", {"%systemroot%\\y.sys"}, false},
        {"empty", kImage, "", {}, false},
        // 31 "\x", then the 32nd separator before "d e": the old cut falls in "d e", not in "f g.exe".
        {"32 separators counted for the last one", kImage, "C:" + Folders31() + "\\d e\\f g.exe",
         {"c:" + Folders31() + "\\d", "c:" + Folders31() + "\\d e\\f", "c:" + Folders31() + "\\d e\\f g.exe"}, false},
        // Double-byte characters: 95 5C is one character, not a separator; 81 41 keeps its 'A'.
        {"trail byte 5C is no separator", kRun, "C:\\x\\a b\x95\x5c" "c.exe",
         {"c:\\x\\a", "c:\\x\\a.exe", "c:\\x\\a b\x95\x5c" "c.exe"}, false},
        {"trail byte 5C does not start \\??\\", kImage, "\\??\\C:\\\x95\\??\\x.sys", {"c:\\\x95\\??\\x.sys"}, false},
        {"trail byte in A..Z stays", kRun, "C:\\\x81\x41.EXE", {"c:\\\x81\x41.exe"}, false},
        // Mended: arguments, quotes and variables no longer hide a present program.
        {"quoted program with arguments", kRun, "\"C:\\Program Files\\X\\x.exe\" /cfg C:\\x\\y.ini",
         {"c:\\program files\\x\\x.exe /cfg c:\\x\\y.ini", "c:\\program files\\x\\x.exe"}, false},
        {"unquoted program with a path argument", kRun,
         "C:\\WINDOWS\\system32\\rundll32.exe C:\\WINDOWS\\system32\\NvCpl.dll,NvStartup",
         {"c:\\windows\\system32\\rundll32.exe c:\\windows\\system32\\nvcpl.dll,nvstartup",
          "c:\\windows\\system32\\rundll32.exe"}, false},
        {"unquoted service with a blank in its folder", kImage, "C:\\My App\\svc.exe -service",
         {"c:\\my app\\svc.exe", "c:\\my", "c:\\my app\\svc.exe -service"}, false},
        {"%ProgramFiles% autostart", kRun, "%ProgramFiles%\\x\\x.exe", {"C:\\Program Files\\x\\x.exe"}, false},
        {"%ProgramFiles% service", kImage, "%ProgramFiles%\\svc\\s.exe -service",
         {"C:\\Program Files\\svc\\s.exe", "C:\\Program Files\\svc\\s.exe -service"}, false},
        {"unclosed quote", kRun, "\"c:\\a b.exe", {"c:\\a", "c:\\a.exe", "c:\\a b.exe"}, false},
        {"program named without .exe", kRun, "rundll32 nvcpl.dll,NvStartup",
         {"rundll32", "rundll32.exe", "rundll32 nvcpl.dll,nvstartup"}, false},
        {"bare name with argument", kRun, "X.exe /s", {"x.exe", "x.exe /s"}, false},
        {"leading blank", kRun, " x.exe", {" x.exe"}, false},
        {"Windows folder pushes the path too long", kImage, "\\SystemRoot\\" + std::string(250, 'y') + ".sys", {}, true},
    };
    for (const Row& row : rows) {
        ProgramPaths result = row.kind == kImage ? ImagePathCandidates(row.text, kWindows, &Expand)
                                                 : RunPathCandidates(row.text, &Expand);
        EXPECT_EQ(result.tooLong, row.tooLong) << row.what;
        if (!row.tooLong) {
            EXPECT_EQ(Show(result.paths), Show(row.paths)) << row.what;
        }
    }
}

TEST(PathRules, AutostartPathsTestedAsWritten) {
    EXPECT_TRUE(IsRootedRunPath(":\\x.exe"));
    EXPECT_TRUE(IsRootedRunPath("\\\\server\\x.exe"));
    EXPECT_FALSE(IsRootedRunPath("c:\\tools\\x.exe"));  // looked up from the Windows folder: the same file
    EXPECT_FALSE(IsRootedRunPath("x.exe"));
}

}  // namespace
