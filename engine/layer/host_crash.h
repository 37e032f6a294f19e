// What a power cut keeps: the host layer records one boot's file operations
// against the drive as it was before the boot, and lays out the drive as a
// power cut at any point of that boot may leave it (the model is written
// down in host_crash.cpp).
#pragma once

#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <vector>

// One 4 KiB page of one file of the record.
struct HostPage {
  int file;
  uint64_t index;
  bool operator<(const HostPage& other) const {
    return file != other.file ? file < other.file : index < other.index;
  }
};

// Where a power cut falls and what of the boot's work reached the disk.
struct HostCrash {
  long operations = 0;         // the boot's operations made before the cut
  long metadata = 0;           // how many of their metadata operations reached the disk
  std::set<HostPage> pages;    // which of the pages not flushed by then reached the disk
};

class HostBootRecord {
 public:
  // The drive's operations that change it: creates, writes, flushes, renames
  // and deletes that did what they were asked.
  long Operations() const { return m_operations; }
  long Flushes() const;
  // The metadata operations (create, extend, rename, delete) among the first
  // `operations`, and how many of them a flush forced onto the disk: every
  // crash keeps at least those and at most all.
  long MetadataMade(long operations) const;
  long MetadataForced(long operations) const;
  // The pages written since their file's last flush, as of `operations`.
  std::vector<HostPage> UnflushedPages(long operations) const;

  // Lays out in the empty folder `drive` the drive as the cut leaves it.
  void Build(const HostCrash& crash, const std::string& drive) const;

  // Used by the host layer while it records; paths are absolute, as spelt
  // on the disk; those outside the drive are not recorded.
  void Begin(const std::string& drive);
  void Create(int fd, const std::string& path);
  void Open(int fd, const std::string& path);
  void Write(int fd, uint64_t offset, const void* data, size_t size);
  void Flush(int fd);
  void Rename(const std::string& from, const std::string& to);
  void Delete(const std::string& path);
  void Close(int fd);

 private:
  enum class Kind { kCreate, kExtend, kRename, kDelete, kWrite, kFlush };
  struct Event {
    Kind kind;
    long operation;  // numbered from 1
    int file;
    std::string path, to;
    uint64_t offset;   // kWrite: where the data goes; kExtend: the new size
    std::string data;  // kWrite
  };
  bool IsMetadata(Kind kind) const { return kind != Kind::kWrite && kind != Kind::kFlush; }
  bool Relative(const std::string& path, std::string* relative) const;
  // By file: the operation that last flushed it (0: none), as of `operations`.
  std::vector<long> LastFlushes(long operations) const;
  void Add(Event event);

  std::string m_drive;
  std::vector<std::string> m_folders;           // relative, parents first
  std::map<std::string, int> m_initialNames;    // relative path -> file
  std::vector<std::string> m_initialData;       // by file, for files of the drive before the boot
  std::vector<Event> m_events;
  long m_operations = 0;
  // The drive as the boot sees it, kept up to date while recording.
  std::map<std::string, int> m_names;
  std::vector<uint64_t> m_sizes;                // by file
  std::map<int, int> m_open;                    // descriptor -> file
};

// Starts recording the operations on the drive set with HostLayerSetDrive
// (the Windows folder must lie inside it), as the drive is now.
void HostLayerStartRecording();
// Stops recording and hands the record over.
HostBootRecord HostLayerStopRecording();
