// The slot codec of profile files: scanning and formatting single 100-byte
// slots. Pure functions over buffers, shared by every reader and writer.
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
