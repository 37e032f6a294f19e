// Sequential reading of a file in large pieces, handing out runs of
// contiguous bytes, so that a check reads each byte of the file once.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "snap_platform.h"

class ByteStream {
 public:
  static constexpr size_t kChunkBytes = 1 << 20;

  explicit ByteStream(SnapFile* file) : m_file(file), m_buffer(kChunkBytes) {}

  // size contiguous bytes (at most kChunkBytes) from the current position,
  // or null when the file ends (or a read fails) first. Valid until the next
  // call.
  const uint8_t* Fetch(size_t size);
  // The next size bytes into out, read from the file straight into it past
  // what the stream holds already; false when the file ends first.
  bool ReadInto(uint8_t* out, size_t size);
  // Passes over size bytes; false when the file ends first.
  bool Skip(uint64_t size);
  bool readFailed() const { return m_readFailed; }

 private:
  SnapFile* m_file;
  std::vector<uint8_t> m_buffer;
  size_t m_begin = 0;  // first unread byte in the buffer
  size_t m_end = 0;    // end of the bytes read into the buffer
  bool m_readFailed = false;
};
