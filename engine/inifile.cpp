// The boot-time reader and writer of settings in a profile file.
#include <string.h>

#include "engine.h"

// A slot that cannot be read whole reads as zeros: never as stale or partial
// bytes. Readers stop at the NUL, so a slot cut short (the last one of a file
// that ends early) whose text ends within what was read is whole for reading.
SlotRead ReadProfileSlot(TwHandle file, int index, char* slot) {
  memset(slot, 0, kSlotBufferSize);
  uint64_t offset = static_cast<uint64_t>(index) * kSlotSize;
  uint32_t done = 0;
  bool read = LayerReadFile(file, slot, kSlotSize, &offset, &done);
  if (read && done > 0 && (done == kSlotSize || memchr(slot, '\0', done))) return SlotRead::kWhole;
  memset(slot, 0, kSlotBufferSize);
  return read && done == 0 ? SlotRead::kAbsent : SlotRead::kBroken;
}

bool WriteProfileSlot(TwHandle file, int index, const char* slot) {
  uint64_t offset = static_cast<uint64_t>(index) * kSlotSize;
  uint32_t done = 0;
  return LayerWriteFile(file, slot, kSlotSize, &offset, &done) && done == kSlotSize;
}

namespace {

// Finds the slot (1 to count) in which key stands first: *index is 0 when it
// stands nowhere. False when a slot could be read only in part, since the key
// may stand in it: appending then would leave a stale first match behind.
bool FindKeySlot(TwHandle file, int count, const char* key, int* index) {
  char slot[kSlotBufferSize];
  char scratch[kValueBufferSize];
  for (*index = 1; *index <= count; ++*index) {
    if (ReadProfileSlot(file, *index, slot) == SlotRead::kBroken) return false;
    if (ScanSlotValue(slot, key, scratch, sizeof scratch)) return true;
  }
  *index = 0;
  return true;
}

}  // namespace

bool ReadIniFile(TwHandle hIniFile, const char* QueryWord, char* value, size_t valueSize) {
  char slot[kSlotBufferSize];
  ReadProfileSlot(hIniFile, 0, slot);
  int count = 0;
  if (!ScanIndexNum(slot, &count) || count > kMaxIndexNum || count < 1) return false;
  for (int index = 1; index <= count; ++index) {
    ReadProfileSlot(hIniFile, index, slot);
    if (ScanSlotValue(slot, QueryWord, value, valueSize)) return true;
  }
  return false;
}

bool WriteIniFile(TwHandle hIniFile, const char* QueryWord, const char* Value) {
  char slot[kSlotBufferSize];
  int count = 0;
  if (ReadProfileSlot(hIniFile, 0, slot) != SlotRead::kWhole || !ScanIndexNum(slot, &count) ||
      count > kMaxIndexNum) {
    return false;
  }

  char pair[kSlotBufferSize];
  if (!FormatPairSlot(pair, QueryWord, Value)) return false;

  int index = 0;
  if (!FindKeySlot(hIniFile, count, QueryWord, &index)) return false;
  if (index == 0) {
    // A count of 501 would lock every reader out of the file: refuse instead.
    if (count >= kMaxIndexNum) return false;
    index = (count < 0 ? 0 : count) + 1;
    FormatIndexNumSlot(slot, index);
    if (!WriteProfileSlot(hIniFile, 0, slot)) return false;
  }
  return WriteProfileSlot(hIniFile, index, pair);
}

void ClearXingHao(char* buffer) {
  size_t length = strlen(buffer);
  for (size_t i = 0; i < length; ++i) {
    if (buffer[i] == '*') buffer[i] = ' ';
  }
}
