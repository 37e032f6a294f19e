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

// Settles a read of up to 100 bytes into slot (kSlotBufferSize bytes) that
// delivered done bytes: a slot that is not whole is left all zeros, never
// stale or partial bytes. A slot cut short (the last one of a file that ends
// early) whose text ends within what was read is whole.
SlotRead SettleSlotRead(char* slot, size_t done, bool failed);

// A profile file as the key search sees it: slots read and written by index.
// The boot-time program reaches them through its layer, the control panel
// through a stdio stream; both search by the same rules.
struct ProfileSlots {
  void* file;
  // Reads slot index into a kSlotBufferSize buffer, settled by SettleSlotRead.
  SlotRead (*read)(void* file, int index, char* slot);
  // Writes the first 100 bytes of slot at slot index; true when all were written.
  bool (*write)(void* file, int index, const char* slot);
  // Makes what was written durable; null where nothing needs that.
  bool (*commit)(void* file) = nullptr;
};

// Finds key in slots 1 to the header's count (first match wins) and copies
// its value into value. False, with the buffer exactly as it was, when the
// header does not scan, its count is outside 1 to 500, or no slot matches.
bool ReadProfileValue(const ProfileSlots& file, const char* key, char* value, size_t valueSize);

// Rewrites key's slot in place, or appends the pair and then raises the
// count, the pair committed in between: a cut never leaves a count that
// names a slot the file lost. False, with nothing written, when the header does not scan
// or allows no more entries, the pair does not fit a slot, or the search could
// not read a slot whole (the key might stand in it).
bool WriteProfileValue(const ProfileSlots& file, const char* key, const char* value);
