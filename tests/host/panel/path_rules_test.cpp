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
        {"dot in a folder name, none in the program's", kRun, "C:\\v1.2\\tool arg",
         {"c:\\v1.2\\tool", "c:\\v1.2\\tool.exe", "c:\\v1.2\\tool arg", "c:\\v1.2\\tool arg.exe"}, false},
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

TEST(PathRules, ServiceProgramsSearchedAsCreateProcessSearches) {
    const std::string kSearchPath = "C:\\Tools;;\"D:\\Bin\\\";C:\\\x95\\";
    struct Row {
        const char* what;
        std::string candidate;
        std::vector<std::string> paths;
    } rows[] = {
        {"bare name: system32, system, Windows folder, each search folder", "twpush.exe",
         {"C:\\WINDOWS\\system32\\twpush.exe", "C:\\WINDOWS\\system\\twpush.exe", "C:\\WINDOWS\\twpush.exe",
          "C:\\Tools\\twpush.exe", "D:\\Bin\\twpush.exe", "C:\\\x95\\\\twpush.exe"}},
        {"bare name without extension gets .exe", "twpush",
         {"C:\\WINDOWS\\system32\\twpush.exe", "C:\\WINDOWS\\system\\twpush.exe", "C:\\WINDOWS\\twpush.exe",
          "C:\\Tools\\twpush.exe", "D:\\Bin\\twpush.exe", "C:\\\x95\\\\twpush.exe"}},
        {"relative path: system32, then the Windows folder", "drivers\\x.sys",
         {"C:\\WINDOWS\\system32\\drivers\\x.sys", "C:\\WINDOWS\\drivers\\x.sys"}},
        {"full path as written", "d:\\svc\\x.exe", {"d:\\svc\\x.exe"}},
        {"leading backslash as written", "\\svc\\x.exe", {"\\svc\\x.exe"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Show(ImageSearchPaths(row.candidate, kWindows, kSearchPath)), Show(row.paths)) << row.what;
}

TEST(PathRules, OnlyNotFoundOnAFixedDriveMeansMissing) {
    enum Drive : unsigned { kUnknown = 0, kNoRoot = 1, kRemovable = 2, kFixed = 3, kRemote = 4, kCdRom = 5 };
    struct Row {
        const char* what;
        unsigned long error;
        unsigned drive;
        bool missing;  // the entry is deleted; otherwise kept
    } rows[] = {
        {"file not found, fixed drive", 2, kFixed, true},
        {"path not found, fixed drive", 3, kFixed, true},
        {"file not found on a network drive", 2, kRemote, false},
        {"path not found on a USB stick", 3, kRemovable, false},
        {"file not found on a CD", 2, kCdRom, false},
        {"drive not there", 3, kNoRoot, false},
        {"drive of unknown kind", 2, kUnknown, false},
        {"network path before the network is up (ERROR_BAD_NETPATH)", 53, kRemote, false},
        {"share name not found (ERROR_BAD_NET_NAME)", 67, kRemote, false},
        {"reader without media (ERROR_NOT_READY)", 21, kRemovable, false},
        {"invalid drive (ERROR_INVALID_DRIVE)", 15, kNoRoot, false},
        {"access denied", 5, kFixed, false},
        {"sharing violation", 32, kFixed, false},
        {"name too long", 206, kFixed, false},
        {"invalid name", 123, kFixed, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(FailureMeansMissing(row.error, row.drive), row.missing) << row.what;

    std::pair<const char*, const char*> roots[] = {
        {"c:\\x\\y.exe", "c:\\"}, {"D:y.exe", "D:\\"}, {"\\\\srv\\share\\x\\y.exe", "\\\\srv\\share\\"},
        {"\\\\srv\\share", "\\\\srv\\share\\"}, {"y.exe", ""}, {"\\x\\y.exe", ""},
    };
    for (const auto& root : roots)
        EXPECT_EQ(DriveRootOf(root.first), root.second) << root.first;
}

TEST(PathRules, AutostartPathsTestedAsWritten) {
    EXPECT_TRUE(IsRootedRunPath(":\\x.exe"));
    EXPECT_TRUE(IsRootedRunPath("\\\\server\\x.exe"));
    EXPECT_FALSE(IsRootedRunPath("c:\\tools\\x.exe"));  // looked up from the Windows folder: the same file
    EXPECT_FALSE(IsRootedRunPath("x.exe"));
}

}  // namespace
