// Native test of the ntdll layer: the semantics the engine relies on (file
// position, end of file, dispositions, "not found" told from other failures,
// flushes, renames with and without replacing, case-insensitive names,
// bounded widening) checked against ntdll itself. One console line per check; the
// exit status is the number of failed checks.
#include "layer.h"

extern "C" int __cdecl _snwprintf(wchar_t* buffer, size_t count, const wchar_t* format, ...);

namespace {

int g_failed;

void Report(bool ok, const wchar_t* what, long long expected, long long actual) {
  wchar_t line[160];
  int length = _snwprintf(line, 159, L"%ls %ls: expected %lld, got %lld\n", ok ? L"ok  " : L"FAIL", what,
                          expected, actual);
  line[length < 0 ? 159 : length] = 0;
  LayerDisplayString(line);
  if (!ok) ++g_failed;
}

void CheckEqual(const wchar_t* what, long long expected, long long actual) {
  Report(expected == actual, what, expected, actual);
}

void Check(const wchar_t* what, bool actual) { CheckEqual(what, 1, actual ? 1 : 0); }

// FileStatus as a number: 0 ok, 1 not found, 2 another failure.
void CheckStatus(const wchar_t* what, FileStatus expected, FileStatus actual) {
  CheckEqual(what, static_cast<long long>(expected), static_cast<long long>(actual));
}

bool SameBytes(const void* a, const void* b, uint32_t size) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (uint32_t i = 0; i < size; ++i) {
    if (x[i] != y[i]) return false;
  }
  return true;
}

// The test build maps \SystemRoot\ onto C:\windows\; the second spelling
// names the same file through \??\ in another case.
const wchar_t kFile[] = L"\\SystemRoot\\temp\\twlayer-test.bin";
const wchar_t kSameFile[] = L"\\??\\C:\\WINDOWS\\Temp\\TWLAYER-TEST.BIN";

void TestFiles() {
  LayerDeleteFile(kFile);  // a previous run's leftover

  TwHandle sentinel = reinterpret_cast<TwHandle>(static_cast<intptr_t>(0x5EED));
  TwHandle file = sentinel;
  CheckStatus(L"an absent file is not found", FileStatus::kNotFound,
              LayerCreateFile(kFile, kDispositionOpenExisting, &file));
  Check(L"a failed open leaves the handle alone", file == sentinel);
  CheckStatus(L"a file in an absent folder is not found", FileStatus::kNotFound,
              LayerCreateFile(L"\\SystemRoot\\no-such-folder\\x", kDispositionOpenExisting, &file));
  CheckStatus(L"a folder is no file", FileStatus::kFailed,
              LayerCreateFile(L"\\SystemRoot\\temp", kDispositionOpenExisting, &file));
  CheckStatus(L"disposition 2 creates a new file", FileStatus::kOk,
              LayerCreateFile(kFile, kDispositionCreateNew, &file));
  TwHandle second = sentinel;
  CheckStatus(L"disposition 2 fails on an existing file", FileStatus::kFailed,
              LayerCreateFile(kFile, kDispositionCreateNew, &second));

  uint32_t done = 0;
  Check(L"write at the position", LayerWriteFile(file, "0123456789", 10, nullptr, &done));
  CheckEqual(L"bytes written at the position", 10, done);
  const uint64_t at20 = 20;
  Check(L"write past the end", LayerWriteFile(file, "AB", 2, &at20, &done));
  CheckEqual(L"bytes written past the end", 2, done);
  uint64_t size = 0;
  Check(L"size query", LayerQueryFileSize(file, &size));
  CheckEqual(L"size after extending", 22, static_cast<long long>(size));

  char buffer[16];
  const uint64_t at0 = 0;
  Check(L"read at an offset", LayerReadFile(file, buffer, 5, &at0, &done) && done == 5);
  Check(L"bytes read at an offset", SameBytes(buffer, "01234", 5));
  Check(L"read at the position", LayerReadFile(file, buffer, 5, nullptr, &done) && done == 5);
  Check(L"the position follows the last read", SameBytes(buffer, "56789", 5));

  const uint64_t at18 = 18;
  Check(L"read across the end", LayerReadFile(file, buffer, 10, &at18, &done));
  CheckEqual(L"bytes read across the end", 4, done);
  Check(L"a gap reads as zeros", SameBytes(buffer, "\0\0AB", 4));

  for (char& c : buffer) c = 'x';
  const uint64_t at22 = 22;
  done = 99;
  Check(L"read at the end succeeds", LayerReadFile(file, buffer, 10, &at22, &done));
  CheckEqual(L"read at the end gives 0 bytes", 0, done);
  Check(L"read at the end leaves the buffer", SameBytes(buffer, "xxxxxxxxxx", 10));
  Check(L"flush", LayerFlushFile(file));
  LayerCloseFile(file);

  CheckStatus(L"names are looked up case-insensitively", FileStatus::kOk,
              LayerCreateFile(kSameFile, kDispositionOpenExisting, &file));
  size = 0;
  LayerQueryFileSize(file, &size);
  CheckEqual(L"the same file", 22, static_cast<long long>(size));
  LayerCloseFile(file);

  CheckStatus(L"delete", FileStatus::kOk, LayerDeleteFile(kFile));
  CheckStatus(L"delete of an absent file", FileStatus::kNotFound, LayerDeleteFile(kFile));
  CheckStatus(L"a deleted file is gone", FileStatus::kNotFound, LayerCreateFile(kFile, kDispositionOpenExisting, &file));
}

// Writes a new file holding text; true when all of it was written.
bool WriteNewFile(const wchar_t* name, const char* text, uint32_t size) {
  TwHandle file;
  if (LayerCreateFile(name, kDispositionCreateNew, &file) != FileStatus::kOk) return false;
  uint32_t done = 0;
  bool written = LayerWriteFile(file, text, size, nullptr, &done) && done == size;
  LayerCloseFile(file);
  return written;
}

// The size of a file, or -1 when it does not open.
long long FileSize(const wchar_t* name) {
  TwHandle file;
  if (LayerCreateFile(name, kDispositionOpenExisting, &file) != FileStatus::kOk) return -1;
  uint64_t size = 0;
  bool known = LayerQueryFileSize(file, &size);
  LayerCloseFile(file);
  return known ? static_cast<long long>(size) : -1;
}

void TestRename() {
  const wchar_t kFrom[] = L"\\SystemRoot\\temp\\twlayer-rename.tmp";
  const wchar_t kTo[] = L"\\SystemRoot\\temp\\twlayer-rename.dat";
  const wchar_t kToOtherSpelling[] = L"\\??\\C:\\windows\\TEMP\\TWLAYER-RENAME.DAT";
  LayerDeleteFile(kFrom);
  LayerDeleteFile(kTo);

  CheckStatus(L"rename of an absent file", FileStatus::kNotFound, LayerRenameFile(kFrom, kTo, RenameMode::kReplace));
  Check(L"rename source written", WriteNewFile(kFrom, "new", 3));
  CheckStatus(L"rename to a free name", FileStatus::kOk, LayerRenameFile(kFrom, kTo, RenameMode::kNoReplace));
  CheckEqual(L"the source name is free after a rename", -1, FileSize(kFrom));
  CheckEqual(L"the target holds the source", 3, FileSize(kTo));

  Check(L"second rename source written", WriteNewFile(kFrom, "newer", 5));
  CheckStatus(L"a rename that may not replace fails onto an existing file", FileStatus::kFailed,
              LayerRenameFile(kFrom, kTo, RenameMode::kNoReplace));
  CheckEqual(L"the file it may not replace stays", 3, FileSize(kTo));
  CheckStatus(L"rename replaces an existing file", FileStatus::kOk,
              LayerRenameFile(kFrom, kToOtherSpelling, RenameMode::kReplace));
  CheckEqual(L"the replaced file holds the source", 5, FileSize(kTo));
  CheckEqual(L"the source is gone after replacing", -1, FileSize(kFrom));
  CheckStatus(L"renamed file deleted", FileStatus::kOk, LayerDeleteFile(kTo));
}

// Widens into a buffer with guard units behind capacity; true when the result
// matches expected (ignored when null) and the guard is untouched.
bool Widen(const char* text, size_t capacity, const wchar_t* expected, bool* fits) {
  wchar_t out[16];
  for (wchar_t& unit : out) unit = 0xAAAA;
  *fits = LayerWidenText(text, out, capacity);
  for (size_t i = capacity; i < 16; ++i) {
    if (out[i] != 0xAAAA) return false;
  }
  if (*fits && expected) {
    size_t i = 0;
    for (; expected[i]; ++i) {
      if (out[i] != expected[i]) return false;
    }
    return out[i] == 0;
  }
  return true;
}

void TestWidening() {
  // "管理员" in code page 936.
  const char kGbk[] = "\xB9\xDC\xC0\xED\xD4\xB1";
  const wchar_t kWide[] = {0x7BA1, 0x7406, 0x5458, 0};
  struct Row {
    const wchar_t* what;
    const char* text;
    size_t capacity;
    const wchar_t* expected;  // null: must not fit
  } rows[] = {
      {L"ASCII, exact fit", "abc", 4, L"abc"},
      {L"ASCII, one unit short", "abc", 3, nullptr},
      {L"cp936, exact fit", kGbk, 4, kWide},
      {L"cp936, one unit short", kGbk, 3, nullptr},
      {L"empty text", "", 1, L""},
      {L"no room at all", "", 0, nullptr},
  };
  for (const Row& row : rows) {
    bool fits = false;
    bool intact = Widen(row.text, row.capacity, row.expected, &fits);
    Report(intact && fits == (row.expected != nullptr), row.what, row.expected != nullptr, fits);
  }
}

void TestHeapAndDate() {
  TwHeap heap = LayerCreateHeap();
  Check(L"heap created", heap != nullptr);
  if (heap) {
    char* block = static_cast<char*>(LayerAllocateHeap(heap, 256));
    Check(L"256-byte block", block != nullptr);
    if (block) {
      for (int i = 0; i < 256; ++i) block[i] = static_cast<char>(i);
      LayerFreeHeap(heap, block);
    }
    LayerDestroyHeap(heap);
  }
  int year = 0, month = 0, day = 0;
  LayerQueryDate(&year, &month, &day);
  Check(L"year of the clock", year >= 2024 && year < 2200);
  Check(L"month of the clock", month >= 1 && month <= 12);
  Check(L"day of the clock", day >= 1 && day <= 31);
}

}  // namespace

extern "C" void __stdcall NtProcessStartup(void* argument) {
  (void)argument;
  TestFiles();
  TestRename();
  TestWidening();
  TestHeapAndDate();
  LayerTerminateProcess(static_cast<uint32_t>(g_failed));
}
