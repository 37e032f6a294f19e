// What a power cut keeps, as this system assumes of NTFS under Windows XP:
//
// - Metadata operations (create, extend, rename, delete) reach the disk in
//   the order they were made: the volume's log keeps them in order. A cut
//   after operation k keeps all of the metadata operations 1 to j for some
//   j <= k, and j reaches at least the last flush, because the flush of any
//   file writes the volume's log up to that point.
// - A file's data written since its last flush may or may not have reached
//   the disk, page by page (4 KiB), in any order, whatever j is, as long as
//   the file exists in the metadata kept. A page that did not arrive holds
//   what it held at the last flush; where the file was extended, zeros.
// - A flush makes the file's data durable. Closing a file flushes nothing.
//
// Files are followed by identity, not by name, so that a rename carries the
// data with the file.
#include "host_crash.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

constexpr uint64_t kPageSize = 4096;

// Every regular file and folder beneath folder (relative names, folders
// before what they hold).
void ListTree(const std::string& root, const std::string& relative, std::vector<std::string>* folders,
              std::vector<std::string>* files) {
  DIR* dir = opendir((root + relative).c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string path = relative + "/" + name;
    struct stat info;
    if (lstat((root + path).c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      folders->push_back(path);
      ListTree(root, path, folders, files);
    } else if (S_ISREG(info.st_mode)) {
      files->push_back(path);
    }
  }
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

void HostBootRecord::Begin(const std::string& drive) {
  *this = HostBootRecord();
  m_drive = drive;
  std::vector<std::string> files;
  ListTree(drive, "", &m_folders, &files);
  for (const std::string& path : files) {
    int file = static_cast<int>(m_initialData.size());
    m_initialData.push_back(ReadWhole(drive + path));
    m_sizes.push_back(m_initialData.back().size());
    m_initialNames[path] = file;
  }
  m_names = m_initialNames;
}

bool HostBootRecord::Relative(const std::string& path, std::string* relative) const {
  if (path.compare(0, m_drive.size(), m_drive) != 0 || path.size() <= m_drive.size() || path[m_drive.size()] != '/') {
    return false;
  }
  *relative = path.substr(m_drive.size());
  return true;
}

void HostBootRecord::Add(Event event) {
  event.operation = m_operations;
  m_events.push_back(std::move(event));
}

void HostBootRecord::Create(int fd, const std::string& path) {
  std::string name;
  if (!Relative(path, &name)) return;
  int file = static_cast<int>(m_sizes.size());
  m_sizes.push_back(0);
  m_names[name] = file;
  m_open[fd] = file;
  ++m_operations;
  Add({Kind::kCreate, 0, file, name, "", 0, ""});
}

void HostBootRecord::Open(int fd, const std::string& path) {
  std::string name;
  auto found = Relative(path, &name) ? m_names.find(name) : m_names.end();
  if (found != m_names.end()) m_open[fd] = found->second;
}

void HostBootRecord::Write(int fd, uint64_t offset, const void* data, size_t size) {
  auto open = m_open.find(fd);
  if (open == m_open.end() || size == 0) return;
  int file = open->second;
  ++m_operations;
  if (offset + size > m_sizes[file]) {
    m_sizes[file] = offset + size;
    Add({Kind::kExtend, 0, file, "", "", offset + size, ""});
  }
  Add({Kind::kWrite, 0, file, "", "", offset, std::string(static_cast<const char*>(data), size)});
}

void HostBootRecord::Flush(int fd) {
  auto open = m_open.find(fd);
  if (open == m_open.end()) return;
  ++m_operations;
  Add({Kind::kFlush, 0, open->second, "", "", 0, ""});
}

void HostBootRecord::Rename(const std::string& from, const std::string& to) {
  std::string source, target;
  if (!Relative(from, &source) || !Relative(to, &target) || !m_names.count(source)) return;
  m_names[target] = m_names[source];
  m_names.erase(source);
  ++m_operations;
  Add({Kind::kRename, 0, -1, source, target, 0, ""});
}

void HostBootRecord::Delete(const std::string& path) {
  std::string name;
  if (!Relative(path, &name) || !m_names.erase(name)) return;
  ++m_operations;
  Add({Kind::kDelete, 0, -1, name, "", 0, ""});
}

void HostBootRecord::Close(int fd) { m_open.erase(fd); }

long HostBootRecord::Flushes() const {
  return std::count_if(m_events.begin(), m_events.end(), [](const Event& e) { return e.kind == Kind::kFlush; });
}

long HostBootRecord::MetadataMade(long operations) const {
  return std::count_if(m_events.begin(), m_events.end(),
                       [&](const Event& e) { return e.operation <= operations && IsMetadata(e.kind); });
}

long HostBootRecord::MetadataForced(long operations) const {
  long lastFlush = 0;
  for (const Event& e : m_events) {
    if (e.operation <= operations && e.kind == Kind::kFlush) lastFlush = e.operation;
  }
  return std::count_if(m_events.begin(), m_events.end(),
                       [&](const Event& e) { return e.operation < lastFlush && IsMetadata(e.kind); });
}

std::vector<long> HostBootRecord::LastFlushes(long operations) const {
  std::vector<long> last(m_sizes.size(), 0);
  for (const Event& e : m_events) {
    if (e.operation <= operations && e.kind == Kind::kFlush) last[e.file] = e.operation;
  }
  return last;
}

std::vector<HostPage> HostBootRecord::UnflushedPages(long operations) const {
  std::vector<long> lastFlush = LastFlushes(operations);
  std::set<HostPage> pages;
  for (const Event& e : m_events) {
    if (e.kind != Kind::kWrite || e.operation > operations || e.operation <= lastFlush[e.file]) continue;
    for (uint64_t page = e.offset / kPageSize; page * kPageSize < e.offset + e.data.size(); ++page) {
      pages.insert({e.file, page});
    }
  }
  return std::vector<HostPage>(pages.begin(), pages.end());
}

void HostBootRecord::Build(const HostCrash& crash, const std::string& drive) const {
  // The names and sizes that the metadata kept.
  std::map<std::string, int> names = m_initialNames;
  std::vector<uint64_t> sizes(m_sizes.size(), 0);
  for (size_t file = 0; file < m_initialData.size(); ++file) sizes[file] = m_initialData[file].size();
  long metadata = 0;
  for (const Event& e : m_events) {
    if (e.operation > crash.operations) break;
    if (!IsMetadata(e.kind) || ++metadata > crash.metadata) continue;
    switch (e.kind) {
      case Kind::kCreate: names[e.path] = e.file; break;
      case Kind::kExtend: sizes[e.file] = std::max(sizes[e.file], e.offset); break;
      case Kind::kRename: names[e.to] = names[e.path]; names.erase(e.path); break;
      case Kind::kDelete: names.erase(e.path); break;
      default: break;
    }
  }
  // The data: what was flushed, and of the rest the pages that arrived.
  std::vector<long> lastFlush = LastFlushes(crash.operations);
  std::vector<std::string> data(m_sizes.size());
  for (size_t file = 0; file < m_initialData.size(); ++file) data[file] = m_initialData[file];
  for (const Event& e : m_events) {
    if (e.kind != Kind::kWrite || e.operation > crash.operations) continue;
    bool flushed = e.operation <= lastFlush[e.file];
    std::string& bytes = data[e.file];
    for (uint64_t at = e.offset; at < e.offset + e.data.size();) {
      uint64_t pageEnd = (at / kPageSize + 1) * kPageSize;
      uint64_t end = std::min<uint64_t>(pageEnd, e.offset + e.data.size());
      if (flushed || crash.pages.count({e.file, at / kPageSize})) {
        if (bytes.size() < end) bytes.resize(end, '\0');
        bytes.replace(at, end - at, e.data, at - e.offset, end - at);
      }
      at = end;
    }
  }
  for (const std::string& folder : m_folders) mkdir((drive + folder).c_str(), 0755);
  for (const auto& [name, file] : names) {
    std::string bytes = data[file];
    bytes.resize(sizes[file], '\0');
    std::ofstream out(drive + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
}
