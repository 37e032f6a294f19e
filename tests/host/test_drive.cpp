// Temporary Windows installations for the engine tests.
#include "test_drive.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "host_layer.h"

Bytes TemplateIndex() {
  std::vector<std::string> slots(30);
  slots[0] = "1111-11-11\t0\t1";
  for (int slot = 16; slot <= 30; ++slot) slots[slot - 1] = "1000-1-" + std::to_string(slot) + "\t0\t0";
  return ProfileFile(1, slots);
}

Bytes Pattern(size_t size, char seed) {
  Bytes bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7 + (i >> 8));
  return bytes;
}

TestDrive::TestDrive() {
  // Memory-backed where the machine has it: the fault sweeps lay out thousands of drives.
  std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string folder = base + "/twdrive.XXXXXX";
  if (!mkdtemp(folder.data())) throw std::runtime_error("mkdtemp");
  m_drive = folder;
}

TestDrive::~TestDrive() {
  HostLayerSetConsole(nullptr);
  HostLayerSetFault(HostFault::kNone, 0);
  std::error_code ignored;  // a leftover temporary folder is no test failure
  std::filesystem::remove_all(m_drive, ignored);
}

void TestDrive::Install(const std::string& userFolder) {
  Write("WINDOWS/system32/config/system", Pattern(3000, 's'));
  Write("WINDOWS/system32/config/software", Pattern(5000, 'w'));
  Write("WINDOWS/system32/config/SAM", Pattern(1024, 'a'));
  Write(userFolder + "/NTUSER.DAT", Pattern(2049, 'u'));
  std::string stored = "\\??\\C:\\" + userFolder;
  std::replace(stored.begin(), stored.end(), '/', '\\');
  std::replace(stored.begin(), stored.end(), ' ', '*');
  Write("WINDOWS/wispdata.dat", ProfileFile(3, {"Backup0=2", "userpath=" + stored, "IsRepair=000"}));
  Write("WINDOWS/twsafe/bkinfo.dat", TemplateIndex());
  Write("WINDOWS/twsafe/11111111.xff", "installation snapshot");
  std::filesystem::create_directories(windows() + "/temp");
}

void TestDrive::CopyFrom(const TestDrive& other) const {
  std::filesystem::copy(other.drive(), m_drive,
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

std::map<std::string, Bytes> TestDrive::Files() const {
  std::map<std::string, Bytes> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(m_drive)) {
    if (entry.is_regular_file()) files[entry.path().string().substr(m_drive.size() + 1)] = Read(entry.path().string().substr(m_drive.size() + 1));
  }
  return files;
}

void TestDrive::Write(const std::string& relative, const Bytes& bytes) const {
  std::string path = m_drive + "/" + relative;
  for (size_t slash = path.find('/', m_drive.size() + 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0755);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

Bytes TestDrive::Read(const std::string& relative) const {
  std::ifstream in(m_drive + "/" + relative, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool TestDrive::Exists(const std::string& relative) const {
  return access((m_drive + "/" + relative).c_str(), F_OK) == 0;
}

void TestDrive::Remove(const std::string& relative) const { unlink((m_drive + "/" + relative).c_str()); }

std::vector<std::string> TestDrive::List(const std::string& relativeFolder) const {
  std::vector<std::string> names;
  if (DIR* dir = opendir((m_drive + "/" + relativeFolder).c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void TestDrive::Boot(int year, int month, int day) {
  HostLayerSetDrive(m_drive);
  HostLayerSetSystemRoot(windows());
  HostLayerSetDate(year, month, day);
  console.clear();
  HostLayerSetConsole(&console);
}

void SetStartOptions(const char* options) {
  std::string text = options ? options : "";
  HostLayerSetRegistryString("\\Registry\\Machine\\System\\CurrentControlSet\\Control", "SystemStartOptions",
                             options ? &text : nullptr);
}

std::u16string Wide(const char* text) {
  std::u16string wide;
  while (*text) wide += static_cast<char16_t>(static_cast<unsigned char>(*text++));
  return wide;
}
