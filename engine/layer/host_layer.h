// Settings of the host layer: where the Windows installation lies, which date
// the kernel's clock shows, where console lines go, and injected faults.
#pragma once

#include <stddef.h>

#include <string>

#include "layer.h"

// The folder that stands for C:\ (\??\C:\... maps into it) and the Windows
// folder (\SystemRoot\... maps into it).
void HostLayerSetDrive(const std::string& folder);
void HostLayerSetSystemRoot(const std::string& folder);

// Fixes the date the passes see; year 0 goes back to today's date in UTC.
void HostLayerSetDate(int year, int month, int day);

// Sets a string value that LayerQueryRegistryString finds under the native
// key path (any case); null removes it. The registry starts empty.
void HostLayerSetRegistryString(const std::string& key, const std::string& value, const std::string* text);

// Console lines are appended to *capture, or go to standard output when null.
void HostLayerSetConsole(std::string* capture);

// Fault injection. File operations (create, read, write, size, flush,
// delete, rename) are counted from 1; the `count` operations from the one
// numbered `at` on misbehave as the mode says. A power cut is not a fault of one operation: see
// host_crash.h.
enum class HostFault {
  kNone,
  kFail,        // the operation reports a failure other than "not found" and does nothing
  kShortRead,   // a read delivers half of what it could
  kDiskFull,    // a write stores half of its bytes, then reports failure
};
void HostLayerSetFault(HostFault mode, long at, long count = 1);
// How many file operations have been counted since the last HostLayerSetFault.
long HostLayerOperationCount();

// How many files the layer holds open (a boot must leave none).
size_t HostLayerOpenFileCount();

// A place beneath a root folder, reached without following any symbolic link:
// the open folder that holds the last component, and that component's name as
// spelt on disk (as given when nothing matches, for a file about to be made).
class HostPlace {
 public:
  HostPlace() = default;
  ~HostPlace();
  HostPlace(const HostPlace&) = delete;
  HostPlace& operator=(const HostPlace&) = delete;

  int folder() const { return m_folder; }
  const std::string& leaf() const { return m_leaf; }
  // Whether a file or folder of the leaf's name stands there.
  bool found() const { return m_found; }
  // The place's whole path, spelt as on the disk.
  const std::string& path() const { return m_path; }
  // Whether the leaf is a regular file or a folder; a link is neither.
  bool IsRegularFile() const;
  bool IsFolder() const;

 private:
  friend bool HostLookUpBeneath(const std::string&, const std::string&, char, HostPlace*);
  int m_folder = -1;
  std::string m_leaf;
  bool m_found = false;
  std::string m_path;
};

// Walks relative (components joined by separator) down from root, matching
// each component case-insensitively, and never through a symbolic link: a
// folder on the way that is a link is not walked through. Components ".", ".."
// and empty ones are refused. Only root itself may be a link. False when the
// place cannot be reached; errno is then ENOENT when a folder on the way is
// missing.
bool HostLookUpBeneath(const std::string& root, const std::string& relative, char separator, HostPlace* place);
