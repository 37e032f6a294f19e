// twboot: the boot-time program for Linux, run against a Windows installation
// lying in a folder (an XP partition mounted from a rescue system, say). It
// runs the same passes as twrepair.exe at boot and prints the same lines.
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "engine.h"
#include "host_layer.h"

namespace {

const char kUsage[] =
    "usage: twboot --drive DIR [--systemroot DIR] [--date YYYY-MM-DD] [--boot-options \"OPTIONS\"]\n"
    "  --boot-options: this boot's start options as the kernel keeps them (\"FASTDETECT TWRESTORE\")\n";

int UsageError(const char* why) {
  fprintf(stderr, "twboot: %s\n%s", why, kUsage);
  return 2;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Exactly YYYY-MM-DD naming a day that exists.
bool ParseDate(const char* text, int* year, int* month, int* day) {
  if (strlen(text) != 10 || text[4] != '-' || text[7] != '-') return false;
  for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  *year = atoi(text);
  *month = atoi(text + 5);
  *day = atoi(text + 8);
  static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (*year < 1601 || *month < 1 || *month > 12 || *day < 1) return false;
  int days = kDaysInMonth[*month - 1] + (*month == 2 && IsLeapYear(*year) ? 1 : 0);
  return *day <= days;
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The child of drive named WINDOWS in any case; a link does not count, since
// it could lead the passes out of the drive.
std::string FindWindowsFolder(const std::string& drive) {
  HostPlace place;
  if (!HostLookUpBeneath(drive, "WINDOWS", '/', &place) || !place.IsFolder()) return "";
  return drive + "/" + place.leaf();
}

}  // namespace

int main(int argc, char** argv) {
  std::string drive, systemRoot;
  const std::string* bootOptions = nullptr;
  std::string bootOptionsText;
  int year = 0, month = 0, day = 0;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    std::string value;
    size_t equals = option.find('=');
    if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.resize(equals);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else if (option == "--drive" || option == "--systemroot" || option == "--date" || option == "--boot-options") {
      return UsageError(("missing value for " + option).c_str());
    }
    if (option == "--drive") {
      drive = value;
    } else if (option == "--systemroot") {
      systemRoot = value;
    } else if (option == "--boot-options") {
      bootOptionsText = value;
      bootOptions = &bootOptionsText;
    } else if (option == "--date") {
      if (!ParseDate(value.c_str(), &year, &month, &day)) {
        return UsageError(("not a date: " + value).c_str());
      }
    } else {
      return UsageError(("unknown option " + option).c_str());
    }
  }
  if (drive.empty()) return UsageError("--drive is required");
  if (!IsFolder(drive)) return UsageError(("not a folder: " + drive).c_str());
  if (systemRoot.empty()) systemRoot = FindWindowsFolder(drive);
  if (systemRoot.empty() || !IsFolder(systemRoot)) {
    return UsageError("no Windows folder: give --systemroot");
  }

  HostLayerSetDrive(drive);
  HostLayerSetSystemRoot(systemRoot);
  if (year) HostLayerSetDate(year, month, day);
  HostLayerSetRegistryString("\\Registry\\Machine\\System\\CurrentControlSet\\Control", "SystemStartOptions",
                             bootOptions);
  RunBootPasses();
  return 0;
}
