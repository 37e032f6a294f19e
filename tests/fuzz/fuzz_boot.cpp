// The whole boot on an arbitrary settings file and index: the passes end
// normally, the system hives stay as they were, the settings file changes in
// the IsRepair slot alone, and no file is left open.
#include "fuzz_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzDrive drive;
  if (size < 2) return 0;
  size_t settingsSize = (static_cast<size_t>(data[0]) << 8 | data[1]) % (size - 1);
  std::string settings(reinterpret_cast<const char*>(data) + 2, settingsSize);
  std::string index(reinterpret_cast<const char*>(data) + 2 + settingsSize, size - 2 - settingsSize);

  drive.Reset();
  drive.Write("WINDOWS/system32/config/system", "system hive");
  drive.Write("WINDOWS/system32/config/software", "software hive");
  drive.Write("WINDOWS/system32/config/SAM", "sam hive");
  drive.Write("user/NTUSER.DAT", "user hive");
  drive.Write("user/BKDATA3.DAT", "saved hive");
  drive.Write("WINDOWS/temp/TWXT04.XFF", "prepared hive");
  drive.Write("WINDOWS/wispdata.dat", settings);
  drive.Write("WINDOWS/twsafe/bkinfo.dat", index);

  RunBootPasses();

  FUZZ_CHECK(HostLayerOpenFileCount() == 0, "no file left open");
  FUZZ_CHECK(drive.Read("WINDOWS/system32/config/system") == "system hive", "system hive kept");
  FUZZ_CHECK(drive.Read("WINDOWS/system32/config/SAM") == "sam hive", "sam hive kept");
  std::string user = drive.Read("user/NTUSER.DAT");
  FUZZ_CHECK(user == "user hive" || user == "prepared hive" || user == "saved hive", "user hive whole");
  std::string after = drive.Read("WINDOWS/wispdata.dat");
  // A last slot cut short after its NUL is rewritten whole.
  size_t wholeSlots = (settings.size() + 99) / 100 * 100;
  FUZZ_CHECK(after.size() == settings.size() || after.size() == wholeSlots, "settings keep their size");
  settings.resize(after.size(), '\0');
  size_t first = 0;
  while (first < after.size() && after[first] == settings[first]) ++first;
  if (first < after.size()) {
    size_t slot = first / 100;
    FUZZ_CHECK(after.substr(0, slot * 100) == settings.substr(0, slot * 100) &&
                   after.substr((slot + 1) * 100) == settings.substr(std::min(settings.size(), (slot + 1) * 100)),
               "one slot of the settings changes");
    FUZZ_CHECK(after.compare(slot * 100, 13, std::string("IsRepair=000\0", 13)) == 0, "it is IsRepair=000");
  }
  return 0;
}
