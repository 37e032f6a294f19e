// Helpers of the Wine drivers that run tarwenApp.exe: its settings files, finding its windows,
// answering its message boxes, and its progress dialogs (the removal's and the fix-ups').
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "child_process.h"
#include "profile_file.h"
#include "resource.h"
#include "screenshot.h"
#include "test_files.h"
#include "wine_test.h"

inline const char kTitle[] = "Tarwen系统修复";

//--- settings files

inline const char kDriveSettings[] = "c:\\wispdata.dat";
std::string WindowsSettings();
// A settings file of these "key=value" entries, the count in slot 0 theirs.
void WriteSettings(const std::string& path, const std::vector<std::string>& entries);
std::map<std::string, std::string> ReadSettings(const std::string& path);
// Both settings files gone.
void RemoveSettings();

//--- windows

// The process's top-level windows (any process: 0), in Z order.
std::vector<HWND> TopLevelWindows(DWORD pid);
// The first visible top-level window of the process that passes test, once there is one; null
// after ms.
HWND WaitForWindowOf(DWORD pid, const std::function<bool(HWND)>& test, DWORD ms);
// Windows titled "Tarwen系统修复", shown or not: the main window and the progress dialogs.
int CountTitled(DWORD pid);
bool IsTitled(HWND hwnd);
bool WaitHidden(HWND hwnd, DWORD ms);
// A modal dialog's end takes about two seconds under Wine without a window manager (the hide waits).
bool WaitGone(HWND dialog);

//--- the main window

// The main window of this copy, once it is on screen.
HWND WaitForPanel(const ChildProcess& app, DWORD ms = 15000);
// Starts a copy of program and waits for its main window; checks that it shows.
HWND StartPanel(ChildProcess& app, const std::string& program, const char* tail = nullptr);
// Starts a further copy, which must bring the first copy's window back and end.
void StartCopyThatEnds(const std::string& program);
// Escape ends the program through the dialog's cancel.
void EndWithEscape(const ChildProcess& app, HWND panel);
void Click(HWND panel, int id);
// The three boot buttons in the installed or the not-installed state.
void CheckBootButtons(HWND panel, bool installed);

//--- message boxes

struct Box {
    std::string text, caption;
};
// Waits for a message box of the program and presses button; empty text when none came. With a
// screenshot name, the screen is saved before the button is pressed.
Box AnswerBox(const ChildProcess& app, int button, DWORD ms = 20000, const char* screenshot = nullptr);

//--- progress dialogs

// The removal dialog of "卸载引导" and the fix-up dialog: the progress bar without the main
// window's install button.
bool IsProgressDialog(HWND hwnd);
HWND WaitForProgressDialog(const ChildProcess& app, DWORD ms = 5000);
// The dialog goes when its modal run ends, a moment after the command. A closed dialog's handle
// may come back for the main window under Wine, so IsWindow alone does not tell.
bool WaitProgressDialogGone(HWND dialog);
int ProgressPosition(HWND dialog);
// Confirms the removal and returns its dialog.
HWND StartRemoval(const ChildProcess& app, HWND panel);
