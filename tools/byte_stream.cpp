// Sequential reading in large pieces.
#include "byte_stream.h"

#include <string.h>

const uint8_t* ByteStream::Peek(size_t size) {
  if (m_end - m_begin < size) {
    // Keep the unread tail at the front and fill up behind it; a run longer
    // than the buffer (a large hive bin) grows it.
    memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
    m_end -= m_begin;
    m_begin = 0;
    if (m_buffer.size() < size) m_buffer.resize(size);
    size_t got = 0;
    if (!m_file->Read(m_buffer.data() + m_end, m_buffer.size() - m_end, &got)) m_readFailed = true;
    m_end += got;
    if (m_end < size) return nullptr;
  }
  return m_buffer.data() + m_begin;
}

const uint8_t* ByteStream::Fetch(size_t size) {
  const uint8_t* run = Peek(size);
  if (run) m_begin += size;
  return run;
}

bool ByteStream::Skip(uint64_t size) {
  while (size) {
    size_t piece = size < kChunkBytes ? static_cast<size_t>(size) : kChunkBytes;
    if (!Fetch(piece)) return false;
    size -= piece;
  }
  return true;
}
