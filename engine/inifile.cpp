// The boot-time reader and writer of settings in a profile file.
#include <string.h>

#include "engine.h"

SlotRead ReadProfileSlot(TwHandle file, int index, char* slot) {
  uint64_t offset = static_cast<uint64_t>(index) * kSlotSize;
  uint32_t done = 0;
  bool read = LayerReadFile(file, slot, kSlotSize, &offset, &done);
  return SettleSlotRead(slot, done, !read);
}

bool WriteProfileSlot(TwHandle file, int index, const char* slot) {
  uint64_t offset = static_cast<uint64_t>(index) * kSlotSize;
  uint32_t done = 0;
  return LayerWriteFile(file, slot, kSlotSize, &offset, &done) && done == kSlotSize;
}

bool ReadIniFile(TwHandle hIniFile, const char* QueryWord, char* value, size_t valueSize) {
  return ReadProfileValue({hIniFile, ReadProfileSlot, WriteProfileSlot}, QueryWord, value, valueSize);
}

bool WriteIniFile(TwHandle hIniFile, const char* QueryWord, const char* Value) {
  return WriteProfileValue({hIniFile, ReadProfileSlot, WriteProfileSlot, LayerFlushFile}, QueryWord, Value);
}

void ClearXingHao(char* buffer) {
  size_t length = strlen(buffer);
  for (size_t i = 0; i < length; ++i) {
    if (buffer[i] == '*') buffer[i] = ' ';
  }
}
