// Small helpers of the control panel, grouped by what they act on, so that no caller writes its own message box or process start.
#pragma once

#include "Handles.h"

#include <windows.h>

#include <string>

//--- message boxes

// A notice: captioned "提示", information icon, OK.
void ShowNotice(HWND owner, const char* text);
// A question captioned "提示" with OK and Cancel and the information icon; true only on OK.
bool AskOkCancel(HWND owner, const char* text);
// The error box: captioned "错误提示", information icon, OK.
void ShowError(HWND owner, const char* text);

//--- files

// The folder of the running program, trailing backslash kept; empty when its
// path does not fit, as a cut-off path would name the wrong folder.
std::string ProgramFolder();

//--- child programs

// Starts the program file at path with its full path as the application name,
// so that neither a blank in a folder name nor a program of the same name
// elsewhere takes its place; the command line is the quoted path, a blank and
// arguments. show is the window's show command; SW_SHOWDEFAULT leaves it to
// the program. No process when it cannot be started.
tw::UniqueKernelHandle StartProgram(const std::string& path, const std::string& arguments, int show);

// StartProgram for a program delivered beside the control panel, in its folder.
tw::UniqueKernelHandle RunProgramBeside(const char* name, const std::string& arguments, int show);

// Waits for a started program to end, without a time limit. False when none was started.
bool WaitForChild(const tw::UniqueKernelHandle& process);
