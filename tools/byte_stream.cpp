// Sequential reading in large pieces.
#include "byte_stream.h"

#include <string.h>

const uint8_t* ByteStream::Fetch(size_t size) {
  if (m_end - m_begin < size) {
    // Keep the unread tail at the front and read no more than the run needs:
    // a hive's data that follows goes straight where ReadInto puts it.
    memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
    m_end -= m_begin;
    m_begin = 0;
    size_t got = 0;
    if (!m_file->Read(m_buffer.data() + m_end, size - m_end, &got)) m_readFailed = true;
    m_end += got;
    if (m_end < size) return nullptr;
  }
  m_begin += size;
  return m_buffer.data() + m_begin - size;
}

bool ByteStream::ReadInto(uint8_t* out, size_t size) {
  size_t held = m_end - m_begin < size ? m_end - m_begin : size;
  memcpy(out, m_buffer.data() + m_begin, held);
  m_begin += held;
  size_t got = 0;
  if (held < size && !m_file->Read(out + held, size - held, &got)) m_readFailed = true;
  return held + got == size;
}

bool ByteStream::Skip(uint64_t size) {
  while (size) {
    size_t piece = size < kChunkBytes ? static_cast<size_t>(size) : kChunkBytes;
    if (!Fetch(piece)) return false;
    size -= piece;
  }
  return true;
}
