// The snapshot library's platform operations on Linux. Names inside the Windows
// installation are looked up by the host layer's lookup, which matches names
// without regard to case and never follows a symbolic link beneath the
// Windows folder; every operation then acts on the folder that lookup
// reached, never on a path looked up again.
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

std::string g_windows;  // the Windows folder of the installation

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Where a name lies: a folder and a name in it. A host path is taken as the
// system takes it; a name in the Windows folder as the host layer finds it.
class Where {
 public:
  bool Find(const SnapPath& path) {
    if (!path.inWindows) {
      m_leaf = path.name;
      return true;
    }
    m_inWindows = true;
    return HostLookUpBeneath(g_windows, path.name, '\\', &m_place);
  }
  int folder() const { return m_inWindows ? m_place.folder() : AT_FDCWD; }
  const char* leaf() const { return m_inWindows ? m_place.leaf().c_str() : m_leaf.c_str(); }
  // A link found in the Windows folder is never followed.
  int noFollow() const { return m_inWindows ? O_NOFOLLOW : 0; }
  // Puts the folder's entries on the disk. A file system that cannot sync a
  // folder (EINVAL) gives no more than it gives.
  bool SyncFolder() const {
    int folder = m_inWindows ? m_place.folder() : OpenParent();
    bool synced = folder >= 0 && (fsync(folder) == 0 || errno == EINVAL);
    if (!m_inWindows && folder >= 0) close(folder);
    return synced;
  }

 private:
  int OpenParent() const {
    size_t slash = m_leaf.find_last_of('/');
    std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : m_leaf.substr(0, slash);
    return open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }

  bool m_inWindows = false;
  HostPlace m_place;
  std::string m_leaf;
};

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

// Where a name really lies, every link resolved: for a name in the Windows
// folder, the folder its lookup reached and the name in it.
bool RealLocation(const SnapPath& path, std::string* resolved) {
  if (!path.inWindows) return ResolvePath(path.name, resolved);
  Where where;
  if (!where.Find(path)) return false;
  char folder[PATH_MAX];
  std::string link = "/proc/self/fd/" + std::to_string(where.folder());
  ssize_t length = readlink(link.c_str(), folder, sizeof folder - 1);
  if (length <= 0) return false;
  *resolved = std::string(folder, static_cast<size_t>(length)) + "/" + where.leaf();
  return true;
}

}  // namespace

std::string ShowPath(const SnapPath& path) {
  if (!path.inWindows) return path.name;
  std::string shown = g_windows + "/" + path.name;
  for (char& c : shown) {
    if (c == '\\') c = '/';
  }
  return shown;
}

bool SnapFile::OpenForReading(const SnapPath& path) {
  Close();
  Where where;
  int fd = where.Find(path) ? openat(where.folder(), where.leaf(), O_RDONLY | O_CLOEXEC | where.noFollow()) : -1;
  struct stat info;
  if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    close(fd);
    fd = -1;
  }
  m_handle = fd;
  return fd >= 0;
}

bool SnapFile::CreateNew(const SnapPath& path) {
  Close();
  Where where;
  // O_EXCL never follows a link planted at the name.
  m_handle = where.Find(path) ? openat(where.folder(), where.leaf(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)
                              : -1;
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
  HostPlace place;
  if (windows.empty() && HostLookUpBeneath(drive, "WINDOWS", '\\', &place) && place.IsFolder()) {
    windows = drive + "/" + place.leaf();
  }
  if (windows.empty() || !IsFolder(windows)) {
    *why = "no Windows folder: give --systemroot";
    return false;
  }
  HostLayerSetSystemRoot(windows);
  g_windows = windows;
  return true;
}

bool EngineNameInWindows(const std::string& relative, std::vector<TwChar>* name) {
  std::u16string native = u"\\SystemRoot\\";
  for (char c : relative) native += static_cast<char16_t>(static_cast<unsigned char>(c));
  name->assign(native.begin(), native.end());
  name->push_back(0);
  return true;
}

bool ListFolderFiles(const SnapPath& path, std::vector<FolderFile>* files) {
  Where where;
  int fd = where.Find(path) ? openat(where.folder(), where.leaf(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | where.noFollow())
                            : -1;
  DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
  if (!dir) {
    if (fd >= 0) close(fd);
    return false;
  }
  while (dirent* entry = readdir(dir)) {
    struct stat info;
    if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
      FolderFile file;
      file.name = entry->d_name;
      file.size = static_cast<uint64_t>(info.st_size);
      file.written = static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000u + static_cast<uint64_t>(info.st_mtim.tv_nsec);
      files->push_back(file);
    }
  }
  closedir(dir);
  return true;
}

bool PathExists(const SnapPath& path) {
  Where where;
  struct stat info;
  return where.Find(path) && fstatat(where.folder(), where.leaf(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool RenameOver(const SnapPath& from, const SnapPath& to) {
  Where source, target;
  return source.Find(from) && target.Find(to) &&
         renameat(source.folder(), source.leaf(), target.folder(), target.leaf()) == 0 && target.SyncFolder();
}

bool SyncFile(const SnapPath& path) {
  Where where;
  int fd = where.Find(path) ? openat(where.folder(), where.leaf(), O_RDONLY | O_CLOEXEC | where.noFollow()) : -1;
  bool synced = fd >= 0 && fsync(fd) == 0;
  if (fd >= 0) close(fd);
  return synced;
}

bool RemoveFile(const SnapPath& path) {
  Where where;
  return where.Find(path) && unlinkat(where.folder(), where.leaf(), 0) == 0;
}

bool PathResolvesInto(const SnapPath& path, const SnapPath& folder) {
  std::string resolvedPath, resolvedFolder;
  // A path that cannot be resolved is refused by the caller's own open.
  if (!RealLocation(folder, &resolvedFolder) || !RealLocation(path, &resolvedPath)) return false;
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
