// The snapshot library's platform operations: files and folders of the host
// system, and where the Windows installation lies. The only platform code of
// the library (snap_platform_posix.cpp on Linux, snap_platform_win32.cpp on
// Windows); on Linux names inside the installation are looked up as the
// engine's host layer looks them up.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "layer.h"

// A file or folder named inside the installation's Windows folder (a
// relative name, components joined by backslashes, looked up as the engine
// looks names up) or by a path of the system the tool runs on.
struct SnapPath {
  static SnapPath InWindows(const std::string& relative) { return SnapPath{true, relative}; }
  static SnapPath OnHost(const std::string& path) { return SnapPath{false, path}; }
  SnapPath WithSuffix(const std::string& suffix) const { return SnapPath{inWindows, name + suffix}; }
  bool inWindows;
  std::string name;
};

// How messages show a path: as a path of the system the tool runs on.
std::string ShowPath(const SnapPath& path);

// An open file, owned: closed by the destructor.
class SnapFile {
 public:
  SnapFile() = default;
  ~SnapFile() { Close(); }
  SnapFile(const SnapFile&) = delete;
  SnapFile& operator=(const SnapFile&) = delete;

  bool OpenForReading(const SnapPath& path);
  // Creates a file that must not exist yet, for writing.
  bool CreateNew(const SnapPath& path);
  // Reads up to size bytes, fewer only at the end of the file.
  bool Read(void* buffer, size_t size, size_t* done);
  bool Write(const void* buffer, size_t size);
  bool Seek(uint64_t offset);
  bool Size(uint64_t* size);
  // Puts what was written on the disk before a rename makes it count.
  bool Flush();
  void Close();

 private:
  intptr_t m_handle = -1;
};

// Where the installation lies: drive is the folder standing for C:\, the
// Windows folder is systemRoot or, when empty, the drive's child WINDOWS in
// any case. False with a reason when either is not a folder.
bool SetInstallation(const std::string& drive, const std::string& systemRoot, std::string* why);

// The engine's name of a file in the Windows folder, for the engine's
// profile writer.
bool EngineNameInWindows(const std::string& relative, std::vector<TwChar>* name);

// A regular file as a folder's listing gives it. written changes whenever
// the file is written (its unit is the platform's own).
struct FolderFile {
  std::string name;
  uint64_t size = 0;
  uint64_t written = 0;
};
bool ListFolderFiles(const SnapPath& folder, std::vector<FolderFile>* files);

bool PathExists(const SnapPath& path);
// Renames from to to, replacing a file at to, and puts the new name on the
// disk (on Linux by syncing the folder of to; NTFS keeps renames in order).
bool RenameOver(const SnapPath& from, const SnapPath& to);
// Puts what was written to a file through another handle on the disk.
bool SyncFile(const SnapPath& path);
bool RemoveFile(const SnapPath& path);
// Whether path, once every link and ".." is resolved, lies in folder.
bool PathResolvesInto(const SnapPath& path, const SnapPath& folder);

// Local date and time as YYYYMMDD-HHMMSS, for names of kept copies.
std::string LocalTimeStamp();
