// Reading the snapshot index and the snapshot folder for listing and checking.
#include "snapshot_index.h"

#include <string.h>
#include <strings.h>

#include <algorithm>
#include <set>

#include "profile_slot.h"

namespace {

// No index the engine writes is larger: 31 slots, or 501 in a header's reach.
constexpr uint64_t kLargestIndexBytes = 64 * 1024;

}  // namespace

SnapPath SnapshotFolder() { return SnapPath::InWindows(kSnapshotFolder); }

SnapPath SnapshotFile(const std::string& name) { return SnapPath::InWindows(std::string(kSnapshotFolder) + "\\" + name); }

std::string SnapshotFileName(const char* date) {
  char name[kSlotBufferSize];
  // A negative number names no file a boot could have written.
  return SnapshotFileName(date, name, sizeof name) && !strchr(name, '-') ? name : std::string();
}

bool ParseSnapshotIndex(const std::string& bytes, SnapshotIndex* index) {
  *index = SnapshotIndex();
  char slot[kSlotBufferSize];
  auto copySlot = [&](int number) {
    memset(slot, 0, sizeof slot);
    size_t offset = static_cast<size_t>(number) * kSlotSize;
    if (offset < bytes.size()) memcpy(slot, bytes.data() + offset, std::min<size_t>(kSlotSize, bytes.size() - offset));
  };
  copySlot(0);
  if (!ScanIndexNum(slot, &index->count) || index->count < 0 || index->count > kMaxIndexNum) return false;
  int topEnd = index->count < kTopTierSlots ? index->count : kTopTierSlots;
  for (int number = 1; number <= kLastCarrySlot; ++number) {
    if (number > topEnd && number < kFirstCarrySlot) continue;
    IndexLine line;
    line.slot = number;
    copySlot(number);
    line.readable = SplitLine(slot, '\t', &line.item);
    if (line.readable) line.fileName = SnapshotFileName(line.item.Date);
    index->lines.push_back(line);
  }
  return true;
}

bool ReadSnapshotIndex(SnapshotIndex* index) {
  SnapFile file;
  std::string bytes;
  uint64_t size = 0;
  if (!file.OpenForReading(SnapshotFile(kIndexName)) || !file.Size(&size) || size > kLargestIndexBytes) return false;
  bytes.resize(static_cast<size_t>(size));
  size_t got = 0;
  return file.Read(&bytes[0], bytes.size(), &got) && got == bytes.size() && ParseSnapshotIndex(bytes, index);
}

std::string LowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

SnapshotFiles SnapshotFilesInFolder() {
  std::vector<FolderFile> listing;
  SnapshotFiles files;
  ListFolderFiles(SnapshotFolder(), &listing);
  for (const FolderFile& file : listing) {
    if (file.name.size() > 4 && strcasecmp(file.name.c_str() + file.name.size() - 4, ".xff") == 0) {
      files[LowerCase(file.name)] = file;
    }
  }
  return files;
}

bool IsPlaceholder(const IndexLine& line, bool fileExists) {
  return line.readable && line.slot >= kFirstCarrySlot && !fileExists && strcmp(line.item.Sign, "0") == 0;
}

std::vector<IndexLine> ListedSnapshots(const SnapshotIndex& index, const SnapshotFiles& files) {
  std::vector<IndexLine> listed;
  std::set<std::string> named;
  for (const IndexLine& line : index.lines) {
    if (!line.readable || line.fileName.empty()) continue;
    std::string name = LowerCase(line.fileName);
    if (IsPlaceholder(line, files.count(name) != 0) || !named.insert(name).second) continue;
    listed.push_back(line);
  }
  return listed;
}
