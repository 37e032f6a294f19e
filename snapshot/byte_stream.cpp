// Sequential reading, each byte once.
#include "byte_stream.h"

const uint8_t* ByteStream::Fetch(size_t size) {
  return ReadInto(m_buffer.data(), size) ? m_buffer.data() : nullptr;
}

bool ByteStream::ReadInto(uint8_t* out, size_t size) {
  size_t got = 0;
  if (!m_file->Read(out, size, &got)) m_readFailed = true;
  return got == size;
}

bool ByteStream::Skip(uint64_t size) {
  while (size) {
    size_t piece = size < kChunkBytes ? static_cast<size_t>(size) : kChunkBytes;
    if (!Fetch(piece)) return false;
    size -= piece;
  }
  return true;
}
