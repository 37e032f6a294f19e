// The control panel as Windows knows it: its autostart value, program file and window title.
// Free of panel code: the uninstaller library builds it in.
#pragma once

#include <windows.h>

#include <string>

// Under HKEY_LOCAL_MACHINE.
constexpr char kRunKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// The product's display name (Tarwen system repair).
constexpr char kAutoRunValueName[] = "Tarwen系统修复";
// The control panel's program file, and what the autostart value adds behind its path.
constexpr char kPanelImageName[] = "tarwenApp.exe";
constexpr char kAutoRunArgument[] = " /h";
// The main window's title: how a second copy of the panel and the uninstaller find it.
constexpr char kPanelTitle[] = "Tarwen系统修复";

// Deletes the autostart value. 0 when it is gone afterwards (also when there
// was none); otherwise the error of opening the Run key with full access or of
// deleting the value, which then stays.
LONG RemoveAutoRun();

// The text of the autostart value; empty when there is none or it cannot be read.
std::string ReadAutoRun();

// The program file an autostart command starts: the command less its " /h",
// when it names a folder followed by tarwenApp.exe /h; empty otherwise.
std::string AutoRunImage(const std::string& command);
