// The slot codec of profile files: scanning and formatting single 100-byte
// slots, and the key search and append over them. Pure functions over
// buffers and slot callbacks, shared by every reader and writer.
#include <string.h>

#include "profile_slot.h"
#include "text.h"

namespace {

const char kIndexNumLabel[] = "IndexNum=";

// A key is matched literally before an "=", so it may hold neither white
// space nor "="; its length is bounded so that every pattern fits.
bool IsUsableKey(const char* key) {
  size_t length = strlen(key);
  if (length == 0 || length > static_cast<size_t>(kMaxKeyLength)) return false;
  for (const char* c = key; *c; ++c) {
    if (IsScanSpace(*c) || *c == '=') return false;
  }
  return true;
}

// Finds the slot (1 to count) in which key stands first: *index is 0 when it
// stands nowhere. False when a slot could be read only in part, since the key
// may stand in it: appending then would leave a stale first match behind.
bool FindKeySlot(const ProfileSlots& file, int count, const char* key, int* index) {
  char slot[kSlotBufferSize];
  char scratch[kValueBufferSize];
  for (*index = 1; *index <= count; ++*index) {
    if (file.read(file.file, *index, slot) == SlotRead::kBroken) return false;
    if (ScanSlotValue(slot, key, scratch, sizeof scratch)) return true;
  }
  *index = 0;
  return true;
}

}  // namespace

bool ScanIndexNum(const char* slotText, int* count) {
  size_t labelLength = sizeof(kIndexNumLabel) - 1;
  if (strncmp(slotText, kIndexNumLabel, labelLength) != 0) return false;
  return ScanDecimal(slotText + labelLength, count) != nullptr;
}

bool ScanSlotValue(const char* slotText, const char* key, char* value, size_t valueSize) {
  if (!IsUsableKey(key)) return false;
  size_t keyLength = strlen(key);
  if (strncmp(slotText, key, keyLength) != 0 || slotText[keyLength] != '=') return false;
  const char* run = slotText + keyLength + 1;
  while (IsScanSpace(*run)) ++run;
  size_t runLength = 0;
  while (run[runLength] && !IsScanSpace(run[runLength])) ++runLength;
  if (runLength == 0 || runLength >= valueSize) return false;
  memcpy(value, run, runLength);
  value[runLength] = '\0';
  return true;
}

bool FormatIndexNumSlot(char* slot, int count) {
  memset(slot, 0, kSlotBufferSize);
  TextBuilder text(slot, kSlotSize);
  text.Append(kIndexNumLabel).AppendDecimal(count);
  return text.ok();
}

bool FormatPairSlot(char* slot, const char* key, const char* value) {
  memset(slot, 0, kSlotBufferSize);
  if (!IsUsableKey(key)) return false;
  TextBuilder text(slot, kSlotSize);
  text.Append(key).AppendChar('=').Append(value);
  if (text.ok()) return true;
  memset(slot, 0, kSlotBufferSize);
  return false;
}

SlotRead SettleSlotRead(char* slot, size_t done, bool failed) {
  const size_t size = kSlotSize;
  bool whole = !failed && done > 0 && done <= size && (done == size || memchr(slot, '\0', done));
  if (whole) {
    memset(slot + done, 0, kSlotBufferSize - done);
    return SlotRead::kWhole;
  }
  memset(slot, 0, kSlotBufferSize);
  return !failed && done == 0 ? SlotRead::kAbsent : SlotRead::kBroken;
}

bool ReadProfileValue(const ProfileSlots& file, const char* key, char* value, size_t valueSize) {
  char slot[kSlotBufferSize];
  file.read(file.file, 0, slot);
  int count = 0;
  if (!ScanIndexNum(slot, &count) || count > kMaxIndexNum || count < 1) return false;
  for (int index = 1; index <= count; ++index) {
    file.read(file.file, index, slot);
    if (ScanSlotValue(slot, key, value, valueSize)) return true;
  }
  return false;
}

bool WriteProfileValue(const ProfileSlots& file, const char* key, const char* value) {
  char slot[kSlotBufferSize];
  int count = 0;
  if (file.read(file.file, 0, slot) != SlotRead::kWhole || !ScanIndexNum(slot, &count) || count > kMaxIndexNum) {
    return false;
  }

  char pair[kSlotBufferSize];
  if (!FormatPairSlot(pair, key, value)) return false;

  int index = 0;
  if (!FindKeySlot(file, count, key, &index)) return false;
  if (index == 0) {
    // A count of 501 would lock every reader out of the file: refuse instead.
    if (count >= kMaxIndexNum) return false;
    // A negative count must not send the pair before the header.
    index = (count < 0 ? 0 : count) + 1;
    FormatIndexNumSlot(slot, index);
    return file.write(file.file, index, pair) && (!file.commit || file.commit(file.file)) &&
           file.write(file.file, 0, slot);
  }
  return file.write(file.file, index, pair);
}
