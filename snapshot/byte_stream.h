// Sequential reading of a file, each byte once: short runs handed out from a
// buffer, long ones read straight into the caller's memory.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "snap_platform.h"

class ByteStream {
 public:
  static constexpr size_t kChunkBytes = 1 << 20;

  explicit ByteStream(SnapFile* file) : m_file(file), m_buffer(kChunkBytes) {}

  // The next size bytes (at most kChunkBytes), or null when the file ends (or
  // a read fails) first. Valid until the next call.
  const uint8_t* Fetch(size_t size);
  // The next size bytes into out; false when the file ends first.
  bool ReadInto(uint8_t* out, size_t size);
  // Passes over size bytes; false when the file ends first.
  bool Skip(uint64_t size);
  bool readFailed() const { return m_readFailed; }

 private:
  SnapFile* m_file;
  std::vector<uint8_t> m_buffer;
  bool m_readFailed = false;
};
