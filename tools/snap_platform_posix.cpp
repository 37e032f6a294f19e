// The snapshot tool's platform operations on Linux. Names inside the Windows
// installation are looked up by the host layer, which also keeps every lookup
// inside the drive folder.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "host_layer.h"
#include "snap_platform.h"

namespace {

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::u16string NativeWindowsName(const std::string& relative) {
  std::u16string name = u"\\SystemRoot\\";
  for (char c : relative) name += static_cast<char16_t>(static_cast<unsigned char>(c));
  return name;
}

// The resolved form of a path whose last component may not exist yet.
bool ResolvePath(const std::string& path, std::string* resolved) {
  char buffer[PATH_MAX];
  if (realpath(path.c_str(), buffer)) {
    *resolved = buffer;
    return true;
  }
  size_t slash = path.find_last_of('/');
  std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (!realpath(parent.c_str(), buffer)) return false;
  *resolved = std::string(buffer) + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
  return true;
}

// The host path of a name: a name in the Windows folder is looked up by the
// host layer.
bool HostPath(const SnapPath& path, std::string* hostPath) {
  if (!path.inWindows) {
    *hostPath = path.name;
    return true;
  }
  return HostLayerMapName(NativeWindowsName(path.name).c_str(), hostPath);
}

}  // namespace

std::string ShowPath(const SnapPath& path) {
  std::string shown;
  if (!path.inWindows || !HostPath(path, &shown)) shown = path.name;
  return shown;
}

bool SnapFile::OpenForReading(const SnapPath& name) {
  Close();
  std::string path;
  int fd = HostPath(name, &path) ? open(path.c_str(), O_RDONLY | O_CLOEXEC) : -1;
  struct stat info;
  if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    close(fd);
    fd = -1;
  }
  m_handle = fd;
  return fd >= 0;
}

bool SnapFile::CreateNew(const SnapPath& name) {
  Close();
  std::string path;
  // O_EXCL never follows a link planted at the name.
  m_handle = HostPath(name, &path) ? open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644) : -1;
  return m_handle >= 0;
}

bool SnapFile::Read(void* buffer, size_t size, size_t* done) {
  *done = 0;
  while (*done < size) {
    ssize_t got = read(static_cast<int>(m_handle), static_cast<char*>(buffer) + *done, size - *done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    *done += static_cast<size_t>(got);
  }
  return true;
}

bool SnapFile::Write(const void* buffer, size_t size) {
  size_t total = 0;
  while (total < size) {
    ssize_t put = write(static_cast<int>(m_handle), static_cast<const char*>(buffer) + total, size - total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    total += static_cast<size_t>(put);
  }
  return true;
}

bool SnapFile::Seek(uint64_t offset) {
  return lseek(static_cast<int>(m_handle), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool SnapFile::Size(uint64_t* size) {
  struct stat info;
  if (fstat(static_cast<int>(m_handle), &info) != 0) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool SnapFile::Flush() { return fsync(static_cast<int>(m_handle)) == 0; }

void SnapFile::Close() {
  if (m_handle >= 0) close(static_cast<int>(m_handle));
  m_handle = -1;
}

bool SetInstallation(const std::string& drive, const std::string& systemRoot, std::string* why) {
  if (!IsFolder(drive)) {
    *why = "not a folder: " + drive;
    return false;
  }
  HostLayerSetDrive(drive);
  std::string windows = systemRoot;
  if (windows.empty()) HostLayerMapName(u"\\??\\C:\\WINDOWS", &windows);
  if (windows.empty() || !IsFolder(windows)) {
    *why = "no Windows folder: give --systemroot";
    return false;
  }
  HostLayerSetSystemRoot(windows);
  return true;
}

bool EngineNameInWindows(const std::string& relative, std::vector<TwChar>* name) {
  std::u16string native = NativeWindowsName(relative);
  name->assign(native.begin(), native.end());
  name->push_back(0);
  return true;
}

bool ListFolderFiles(const SnapPath& name, std::vector<std::string>* names) {
  std::string folder;
  DIR* dir = HostPath(name, &folder) ? opendir(folder.c_str()) : nullptr;
  if (!dir) return false;
  while (dirent* entry = readdir(dir)) {
    struct stat info;
    std::string path = folder + "/" + entry->d_name;
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) names->push_back(entry->d_name);
  }
  closedir(dir);
  return true;
}

bool PathExists(const SnapPath& name) {
  std::string path;
  struct stat info;
  return HostPath(name, &path) && lstat(path.c_str(), &info) == 0;
}

bool RenameOver(const SnapPath& from, const SnapPath& to) {
  std::string source, target;
  return HostPath(from, &source) && HostPath(to, &target) && rename(source.c_str(), target.c_str()) == 0;
}

bool RemoveFile(const SnapPath& name) {
  std::string path;
  return HostPath(name, &path) && unlink(path.c_str()) == 0;
}

bool PathResolvesInto(const SnapPath& name, const SnapPath& folderName) {
  std::string path, folder, resolvedPath, resolvedFolder;
  if (!HostPath(name, &path) || !HostPath(folderName, &folder)) return false;
  if (!ResolvePath(folder, &resolvedFolder)) return false;
  // A path that cannot be resolved is refused by the caller's own open.
  if (!ResolvePath(path, &resolvedPath)) return false;
  return resolvedPath == resolvedFolder || resolvedPath.rfind(resolvedFolder + "/", 0) == 0;
}

std::string LocalTimeStamp() {
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  char text[32];
  strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}
