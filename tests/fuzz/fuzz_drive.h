// A Windows installation in a memory-backed folder, shared by the fuzz targets.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "engine.h"
#include "host_layer.h"
#include "text.h"

// Stops the fuzzer with a message when an invariant does not hold.
#define FUZZ_CHECK(condition, what)                                   \
  do {                                                                \
    if (!(condition)) {                                               \
      fprintf(stderr, "invariant broken: %s (%s)\n", what, #condition); \
      abort();                                                        \
    }                                                                 \
  } while (0)

class FuzzDrive {
 public:
  FuzzDrive() {
    std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string folder = base + "/twfuzz.XXXXXX";
    if (!mkdtemp(folder.data())) abort();
    m_root = folder;
    HostLayerSetDrive(m_root);
    HostLayerSetSystemRoot(m_root + "/WINDOWS");
    HostLayerSetDate(2030, 1, 1);
    HostLayerSetConsole(&m_console);
  }
  ~FuzzDrive() { std::filesystem::remove_all(m_root); }

  // Empties the drive for the next input.
  void Reset() {
    std::filesystem::remove_all(m_root + "/WINDOWS");
    std::filesystem::remove_all(m_root + "/user");
    m_console.clear();
  }

  void Write(const std::string& relative, const std::string& bytes) const {
    std::string path = m_root + "/" + relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(m_root + "/" + relative, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  std::set<std::string> List(const std::string& relative) const {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(m_root + "/" + relative, ignored)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

 private:
  std::string m_root;
  std::string m_console;
};

// The snapshot file name of an index date, as the engine derives it, or "".
inline std::string SnapshotNameOf(const char* date) {
  int y, m, d;
  const char* rest = ScanDecimal(date, &y);
  if (!rest || *rest != '-' || !(rest = ScanDecimal(rest + 1, &m))) return "";
  if (*rest != '-' || !ScanDecimal(rest + 1, &d)) return "";
  char name[64];
  snprintf(name, sizeof name, "%d%02d%02d.xff", y, m, d);
  return name;
}
