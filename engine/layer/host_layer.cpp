// The host layer: the engine's native operations carried out on a Windows
// installation lying in a Linux folder (an XP partition mounted from a rescue
// system, or a test's temporary folder). Names are looked up case-insensitively,
// component by component, as Windows does. The partition is nobody's to vouch
// for and this may run as root: no symbolic link beneath the drive or Windows
// folder is ever followed; a link is neither a file nor a missing one (an
// operation on it fails as on something that cannot be opened).
#include "host_layer.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "host_crash.h"
#include "layer.h"

namespace {

struct HostState {
  std::string drive;
  std::string systemRoot;
  int year = 0, month = 0, day = 0;
  std::string* console = nullptr;
  HostFault fault = HostFault::kNone;
  long faultAt = 0;
  long faultCount = 0;
  long operations = 0;
  std::set<int> openFiles;
  std::map<std::string, std::string> registry;  // by "key\value" in lower case
  bool recording = false;
  HostBootRecord record;
};

HostState& State() {
  static HostState state;
  return state;
}

// Counts a file operation and tells which fault, if any, applies to it.
HostFault CountOperation() {
  HostState& state = State();
  ++state.operations;
  if (state.fault == HostFault::kNone || state.operations < state.faultAt ||
      state.operations >= state.faultAt + state.faultCount) {
    return HostFault::kNone;
  }
  return state.fault;
}

// The record of the boot, while one is being made.
HostBootRecord* Recording() { return State().recording ? &State().record : nullptr; }

std::string ToUtf8(const TwChar* text) {
  std::string out;
  for (; *text; ++text) {
    uint32_t unit = static_cast<uint16_t>(*text);
    if (unit >= 0xD800 && unit <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (static_cast<uint16_t>(text[1]) - 0xDC00);
      ++text;
    }
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else if (unit < 0x10000) {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (unit >> 18));
      out += static_cast<char>(0x80 | ((unit >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return out;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0 && a.size() == b.size();
}

bool StartsWithIgnoringCase(const std::string& text, const char* prefix) {
  return strncasecmp(text.c_str(), prefix, strlen(prefix)) == 0;
}

// The entry of the open folder whose name equals component up to case: an
// exact match first, else the first in byte order, so that the choice is
// repeatable.
bool FindEntry(int folder, const std::string& component, std::string* found) {
  int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return false;
  DIR* dir = fdopendir(listing);
  if (!dir) {
    close(listing);
    return false;
  }
  std::vector<std::string> matches;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (SameIgnoringCase(name, component)) matches.push_back(name);
  }
  closedir(dir);
  if (matches.empty()) return false;
  for (const std::string& name : matches) {
    if (name == component) {
      *found = name;
      return true;
    }
  }
  *found = *std::min_element(matches.begin(), matches.end());
  return true;
}

// The root folder and the rest of a native name. False for a name outside
// both mapped prefixes.
bool SplitNativeName(const TwChar* name, std::string* root, std::string* rest) {
  const HostState& state = State();
  std::string native = ToUtf8(name);
  if (StartsWithIgnoringCase(native, "\\SystemRoot\\")) {
    *root = state.systemRoot;
    *rest = native.substr(strlen("\\SystemRoot\\"));
  } else if (StartsWithIgnoringCase(native, "\\??\\C:\\")) {
    *root = state.drive;
    *rest = native.substr(strlen("\\??\\C:\\"));
  } else {
    return false;
  }
  return !root->empty();
}

// Finds the place a native name stands for. kNotFound when a folder on the
// way is missing; else kOk with the place, whether or not its leaf exists.
FileStatus MapName(const TwChar* name, HostPlace* place) {
  std::string root, rest;
  if (!SplitNativeName(name, &root, &rest)) return FileStatus::kFailed;
  if (HostLookUpBeneath(root, rest, '\\', place)) return FileStatus::kOk;
  return errno == ENOENT ? FileStatus::kNotFound : FileStatus::kFailed;
}

// The place of a file that is to be there: kNotFound when nothing stands
// there, kFailed when something else does (a folder, a link).
FileStatus MapExistingFile(const TwChar* name, HostPlace* place) {
  FileStatus mapped = MapName(name, place);
  if (mapped != FileStatus::kOk) return mapped;
  if (!place->found()) return FileStatus::kNotFound;
  return place->IsRegularFile() ? FileStatus::kOk : FileStatus::kFailed;
}

int FileDescriptor(TwHandle handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)); }

}  // namespace

HostPlace::~HostPlace() {
  if (m_folder >= 0) close(m_folder);
}

bool HostPlace::IsRegularFile() const {
  struct stat info;
  return m_folder >= 0 && fstatat(m_folder, m_leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISREG(info.st_mode);
}

bool HostPlace::IsFolder() const {
  struct stat info;
  return m_folder >= 0 && fstatat(m_folder, m_leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(info.st_mode);
}

bool HostLookUpBeneath(const std::string& root, const std::string& relative, char separator, HostPlace* place) {
  if (place->m_folder >= 0) close(place->m_folder);
  place->m_folder = -1;
  place->m_leaf.clear();
  place->m_found = false;
  place->m_path = root;
  // The root itself is the caller's choice; from there on no link is followed.
  int folder = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return false;
  size_t start = 0;
  while (true) {
    size_t end = relative.find(separator, start);
    bool last = end == std::string::npos;
    std::string component = relative.substr(start, last ? std::string::npos : end - start);
    // The object namespace knows no "." or ".."; never walk out of the root.
    if (component.empty() || component == "." || component == ".." ||
        component.find('/') != std::string::npos) {
      close(folder);
      errno = EINVAL;
      return false;
    }
    std::string entry;
    bool found = FindEntry(folder, component, &entry);
    if (last) {
      place->m_folder = folder;
      place->m_leaf = found ? entry : component;
      place->m_found = found;
      place->m_path += "/" + place->m_leaf;
      return true;
    }
    // O_NOFOLLOW: a link in the middle of the name is not walked through
    // (ELOOP or ENOTDIR, never ENOENT: something stands there).
    int next = found ? openat(folder, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
    int error = found ? errno : ENOENT;
    close(folder);
    if (next < 0) {
      errno = error;
      return false;
    }
    place->m_path += "/" + entry;
    folder = next;
    start = end + 1;
  }
}

size_t HostLayerOpenFileCount() { return State().openFiles.size(); }

void HostLayerSetDrive(const std::string& folder) { State().drive = folder; }
void HostLayerSetSystemRoot(const std::string& folder) { State().systemRoot = folder; }

void HostLayerSetDate(int year, int month, int day) {
  State().year = year;
  State().month = month;
  State().day = day;
}

void HostLayerSetConsole(std::string* capture) { State().console = capture; }

void HostLayerSetFault(HostFault mode, long at, long count) {
  State().fault = mode;
  State().faultAt = at;
  State().faultCount = count;
  State().operations = 0;
}

long HostLayerOperationCount() { return State().operations; }

void HostLayerStartRecording() {
  State().recording = true;
  State().record.Begin(State().drive);
}

HostBootRecord HostLayerStopRecording() {
  State().recording = false;
  return std::move(State().record);
}

void LayerDisplayString(const TwChar* text) {
  std::string line = ToUtf8(text);
  if (State().console) {
    *State().console += line;
  } else {
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
  }
}

FileStatus LayerCreateFile(const TwChar* name, uint32_t disposition, TwHandle* handle) {
  if (CountOperation() == HostFault::kFail) return FileStatus::kFailed;
  HostPlace place;
  FileStatus status = disposition == kDispositionOpenExisting ? MapExistingFile(name, &place) : MapName(name, &place);
  if (status != FileStatus::kOk) return status;
  int fd = -1;
  // O_NOFOLLOW and O_EXCL: a link in the last place is neither opened nor
  // created through.
  if (disposition == kDispositionOpenExisting) {
    fd = openat(place.folder(), place.leaf().c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
      close(fd);
      fd = -1;
    }
  } else if (disposition == kDispositionCreateNew && !place.found()) {
    fd = openat(place.folder(), place.leaf().c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  }
  if (fd < 0) return FileStatus::kFailed;
  State().openFiles.insert(fd);
  if (HostBootRecord* record = Recording()) {
    if (disposition == kDispositionCreateNew) record->Create(fd, place.path());
    else record->Open(fd, place.path());
  }
  *handle = reinterpret_cast<TwHandle>(static_cast<intptr_t>(fd));
  return FileStatus::kOk;
}

bool LayerReadFile(TwHandle handle, void* buffer, uint32_t size, const uint64_t* offset, uint32_t* done) {
  *done = 0;
  HostFault fault = CountOperation();
  if (fault == HostFault::kFail) return false;
  int fd = FileDescriptor(handle);
  if (offset && lseek(fd, static_cast<off_t>(*offset), SEEK_SET) < 0) return false;
  if (fault == HostFault::kShortRead) size /= 2;
  // read() touches only the bytes it delivers: at the end of the file the
  // buffer stays as it was.
  size_t total = 0;
  while (total < size) {
    ssize_t got = read(fd, static_cast<char*>(buffer) + total, size - total);
    if (got < 0) return false;
    if (got == 0) break;
    total += static_cast<size_t>(got);
  }
  *done = static_cast<uint32_t>(total);
  return true;
}

bool LayerWriteFile(TwHandle handle, const void* buffer, uint32_t size, const uint64_t* offset, uint32_t* done) {
  *done = 0;
  HostFault fault = CountOperation();
  if (fault == HostFault::kFail) return false;
  int fd = FileDescriptor(handle);
  off_t at = offset ? lseek(fd, static_cast<off_t>(*offset), SEEK_SET) : lseek(fd, 0, SEEK_CUR);
  if (at < 0) return false;
  uint32_t wanted = fault == HostFault::kDiskFull ? size / 2 : size;
  size_t total = 0;
  while (total < wanted) {
    ssize_t put = write(fd, static_cast<const char*>(buffer) + total, wanted - total);
    if (put <= 0) break;
    total += static_cast<size_t>(put);
  }
  *done = static_cast<uint32_t>(total);
  if (HostBootRecord* record = Recording()) record->Write(fd, static_cast<uint64_t>(at), buffer, total);
  return total == size;
}

bool LayerQueryFileSize(TwHandle handle, uint64_t* size) {
  if (CountOperation() == HostFault::kFail) return false;
  struct stat info;
  if (fstat(FileDescriptor(handle), &info) != 0) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool LayerFlushFile(TwHandle handle) {
  if (CountOperation() == HostFault::kFail) return false;
  int fd = FileDescriptor(handle);
  if (fsync(fd) != 0) return false;
  if (HostBootRecord* record = Recording()) record->Flush(fd);
  return true;
}

void LayerCloseFile(TwHandle handle) {
  int fd = FileDescriptor(handle);
  if (!State().openFiles.erase(fd)) return;
  close(fd);
  if (HostBootRecord* record = Recording()) record->Close(fd);
}

FileStatus LayerDeleteFile(const TwChar* name) {
  if (CountOperation() == HostFault::kFail) return FileStatus::kFailed;
  HostPlace place;
  FileStatus status = MapExistingFile(name, &place);
  if (status != FileStatus::kOk) return status;
  if (unlinkat(place.folder(), place.leaf().c_str(), 0) != 0) return FileStatus::kFailed;
  if (HostBootRecord* record = Recording()) record->Delete(place.path());
  return FileStatus::kOk;
}

namespace {

// renameat() itself, refusing to replace when asked to. A file system that
// cannot refuse in the same step (ntfs-3g through FUSE, say) is asked first:
// the boot runs alone, nothing can slip in between.
bool RenameInFolder(const HostPlace& source, const HostPlace& target, RenameMode mode) {
  if (mode == RenameMode::kReplace) {
    return renameat(source.folder(), source.leaf().c_str(), target.folder(), target.leaf().c_str()) == 0;
  }
  if (renameat2(source.folder(), source.leaf().c_str(), target.folder(), target.leaf().c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  return !target.found() &&
         renameat(source.folder(), source.leaf().c_str(), target.folder(), target.leaf().c_str()) == 0;
}

}  // namespace

FileStatus LayerRenameFile(const TwChar* from, const TwChar* to, RenameMode mode) {
  if (CountOperation() == HostFault::kFail) return FileStatus::kFailed;
  HostPlace source, target;
  FileStatus status = MapExistingFile(from, &source);
  if (status != FileStatus::kOk) return status;
  // renameat() replaces a link in the target place rather than following it.
  if (MapName(to, &target) != FileStatus::kOk || target.IsFolder() || !RenameInFolder(source, target, mode)) {
    return FileStatus::kFailed;
  }
  if (HostBootRecord* record = Recording()) record->Rename(source.path(), target.path());
  return FileStatus::kOk;
}

namespace {

std::string RegistryName(const std::string& key, const std::string& value) {
  std::string name = key + "\\" + value;
  for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return name;
}

}  // namespace

void HostLayerSetRegistryString(const std::string& key, const std::string& value, const std::string* text) {
  std::map<std::string, std::string>& registry = State().registry;
  if (text) registry[RegistryName(key, value)] = *text;
  else registry.erase(RegistryName(key, value));
}

FileStatus LayerQueryRegistryString(const TwChar* key, const TwChar* value, TwChar* out, size_t capacity) {
  const std::map<std::string, std::string>& registry = State().registry;
  auto found = registry.find(RegistryName(ToUtf8(key), ToUtf8(value)));
  if (found == registry.end()) return FileStatus::kNotFound;
  const std::string& text = found->second;  // ASCII, as start options are
  if (text.size() + 1 > capacity) return FileStatus::kFailed;
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<TwChar>(static_cast<unsigned char>(text[i]));
  out[text.size()] = 0;
  return FileStatus::kOk;
}

void LayerQueryDate(int* year, int* month, int* day) {
  const HostState& state = State();
  if (state.year) {
    *year = state.year;
    *month = state.month;
    *day = state.day;
    return;
  }
  time_t now = time(nullptr);
  struct tm utc;
  gmtime_r(&now, &utc);
  *year = utc.tm_year + 1900;
  *month = utc.tm_mon + 1;
  *day = utc.tm_mday;
}

// Heaps are plain allocations here; the heap token only has to be non-null.
TwHeap LayerCreateHeap() { return reinterpret_cast<TwHeap>(1); }

void* LayerAllocateHeap(TwHeap, size_t size) { return std::malloc(size); }

void LayerFreeHeap(TwHeap, void* block) { std::free(block); }

void LayerDestroyHeap(TwHeap) {}

bool LayerWidenText(const char* text, TwChar* out, size_t capacity) {
  iconv_t converter = iconv_open("UTF-16LE", "GBK");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> wide(strlen(text) * 4 + 4);
  char* in = const_cast<char*>(text);
  size_t inLeft = strlen(text);
  char* outBytes = wide.data();
  size_t outLeft = wide.size();
  size_t result = iconv(converter, &in, &inLeft, &outBytes, &outLeft);
  iconv_close(converter);
  if (result == static_cast<size_t>(-1) || inLeft != 0) return false;
  size_t units = (wide.size() - outLeft) / 2;
  if (units + 1 > capacity) return false;
  for (size_t i = 0; i < units; ++i) {
    out[i] = static_cast<TwChar>(static_cast<unsigned char>(wide[2 * i]) |
                                 (static_cast<unsigned char>(wide[2 * i + 1]) << 8));
  }
  out[units] = 0;
  return true;
}

void LayerTerminateProcess(uint32_t status) { std::exit(static_cast<int>(status)); }
