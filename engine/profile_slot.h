// The slot codec of profile files, shared by the boot-time program and the
// control panel: fixed 100-byte slots, slot 0 "IndexNum=%d", entry slots
// NUL-terminated text. Pure functions over buffers.
#pragma once

#include <stddef.h>

constexpr int kSlotSize = 100;
constexpr int kSlotBufferSize = kSlotSize + 1;  // a slot and a terminating NUL
constexpr int kMaxIndexNum = 500;
constexpr int kMaxKeyLength = 46;
constexpr int kValueBufferSize = 100;  // holds any value a slot can carry

// Scans a header slot as "IndexNum=%d". False when nothing converts.
bool ScanIndexNum(const char* slotText, int* count);

// Matches a settings slot against key: the key, "=", optional white space and
// a run of non-white-space, which is copied NUL-terminated into value. False
// (value untouched) when the slot does not match or the run does not fit.
bool ScanSlotValue(const char* slotText, const char* key, char* value, size_t valueSize);

// Zero-fill slot (kSlotBufferSize bytes) and format the header or a pair into
// it. False when the text would not fit in the 99 bytes of a slot.
bool FormatIndexNumSlot(char* slot, int count);
bool FormatPairSlot(char* slot, const char* key, const char* value);

// What reading one slot gave.
enum class SlotRead {
  kWhole,   // all 100 bytes, or fewer that hold the text's NUL (the rest reads as zeros)
  kAbsent,  // wholly beyond the end of the file: nothing stands there
  kBroken,  // cut short, or the read failed: its text is unknown
};
