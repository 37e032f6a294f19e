// Profile reader and writer on arbitrary file bytes and keys. The reader
// never returns a value that is not in the file and never touches the buffer
// when it finds nothing; the writer changes no byte outside the header slot
// and the one slot it writes, and what it wrote reads back.
#include "fuzz_drive.h"
#include "text.h"

namespace {

const char* const kKeys[] = {"IsRepair", "userpath", "Backup0", "SignRun", "k", "IndexNum"};

// A blank-free token from the input, of 0 to 60 bytes.
std::string Token(const uint8_t*& data, size_t& size) {
  size_t length = size ? data[0] % 61 : 0;
  std::string token;
  for (size_t i = 1; i <= length && i < size; ++i) token += static_cast<char>(data[i] <= ' ' ? 'x' : data[i]);
  size_t used = length + 1 < size ? length + 1 : size;
  data += used;
  size -= used;
  return token;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzDrive drive;
  if (size < 2) return 0;
  std::string key = data[0] < 200 ? kKeys[data[0] % 6] : "";
  ++data, --size;
  if (key.empty()) key = Token(data, size);
  std::string value = Token(data, size);
  std::string file(reinterpret_cast<const char*>(data), size);
  drive.Reset();
  drive.Write("WINDOWS/wispdata.dat", file);

  TwHandle handle;
  FUZZ_CHECK(OpenFile(u"\\SystemRoot\\wispdata.dat", &handle, kDispositionOpenExisting), "open");
  char found[kValueBufferSize];
  memset(found, 0x5A, sizeof found);
  if (ReadIniFile(handle, key.c_str(), found, sizeof found)) {
    size_t length = strnlen(found, sizeof found);
    FUZZ_CHECK(length > 0 && length < sizeof found, "value is a terminated text");
    FUZZ_CHECK(file.find(key + "=") != std::string::npos, "key is in the file");
    FUZZ_CHECK(file.find(std::string(found, length)) != std::string::npos, "value is in the file");
    for (size_t i = 0; i < length; ++i) FUZZ_CHECK(!IsScanSpace(found[i]), "value has no white space");
  } else {
    for (char c : found) FUZZ_CHECK(c == 0x5A, "buffer untouched when nothing is found");
  }

  bool written = WriteIniFile(handle, key.c_str(), value.c_str());
  LayerCloseFile(handle);
  std::string after = drive.Read("WINDOWS/wispdata.dat");
  if (!written) {
    FUZZ_CHECK(after == file, "a refused write changes nothing");
    return 0;
  }
  FUZZ_CHECK(after.size() >= file.size(), "the file is never cut");
  size_t changedSlots = 0;
  for (size_t slot = 1; slot * 100 < after.size(); ++slot) {
    std::string before = slot * 100 < file.size() ? file.substr(slot * 100, 100) : "";
    std::string now = after.substr(slot * 100, 100);
    before.resize(now.size(), '\0');
    if (before != now) ++changedSlots;
  }
  FUZZ_CHECK(changedSlots <= 1, "one entry slot at most changes");
  FUZZ_CHECK(after.size() <= std::max<size_t>(file.size(), 100 * 502), "the file grows by a slot at most");

  FUZZ_CHECK(OpenFile(u"\\SystemRoot\\wispdata.dat", &handle, kDispositionOpenExisting), "reopen");
  bool readBack = ReadIniFile(handle, key.c_str(), found, sizeof found);
  LayerCloseFile(handle);
  if (!value.empty()) FUZZ_CHECK(readBack && value == found, "the written value reads back");
  return 0;
}
