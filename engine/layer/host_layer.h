// Settings of the host layer: where the Windows installation lies, which date
// the kernel's clock shows, where console lines go, and injected faults.
#pragma once

#include <string>

#include "layer.h"

// The folder that stands for C:\ (\??\C:\... maps into it) and the Windows
// folder (\SystemRoot\... maps into it).
void HostLayerSetDrive(const std::string& folder);
void HostLayerSetSystemRoot(const std::string& folder);

// Maps a native name (\SystemRoot\... or \??\C:\...) onto a host path by
// the lookup every file operation of the layer uses; false when the name
// leads nowhere the layer would go.
bool HostLayerMapName(const TwChar* name, std::string* path);

// Fixes the date the passes see; year 0 goes back to today's date in UTC.
void HostLayerSetDate(int year, int month, int day);

// Console lines are appended to *capture, or go to standard output when null.
void HostLayerSetConsole(std::string* capture);

// Fault injection. File operations (create, read, write, size, delete) are
// counted from 1; the operation numbered `at` misbehaves as the mode says.
enum class HostFault {
  kNone,
  kFail,        // the operation reports failure and does nothing
  kShortRead,   // a read delivers half of what it could
  kDiskFull,    // a write stores half of its bytes, then reports failure
  kPowerLoss,   // the process stops dead after the operation: HostPowerLoss is thrown
};
struct HostPowerLoss {};
void HostLayerSetFault(HostFault mode, long at);
// How many file operations have been counted since the last HostLayerSetFault.
long HostLayerOperationCount();
