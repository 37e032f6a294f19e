// make_hive OUT SIZE [--dirty]: writes a valid registry hive of SIZE bytes
// (rounded up to whole 4096-byte blocks), its key tree filling it, for the
// command-line tests and the benchmark. Its base block names OUT's file, as
// Windows names the file a hive was loaded from.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "hive_builder.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || (argc == 4 && strcmp(argv[3], "--dirty") != 0)) {
    fprintf(stderr, "usage: make_hive OUT SIZE [--dirty]\n");
    return 2;
  }
  size_t size = (strtoull(argv[2], nullptr, 10) + 4095) / 4096 * 4096;
  if (size < 8192) size = 8192;
  std::string path = argv[1];
  std::string hive = BuildFilledHive(size, argc == 4, path.substr(path.find_last_of('/') + 1));
  FILE* out = fopen(argv[1], "wb");
  bool written = out && fwrite(hive.data(), 1, hive.size(), out) == hive.size();
  if (out) written = fclose(out) == 0 && written;
  return written ? 0 : 1;
}
