// make_hive OUT SIZE [--dirty]: writes a valid registry hive of SIZE bytes
// (rounded up to whole 4096-byte blocks) for the command-line tests and the
// benchmark.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "hive_builder.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || (argc == 4 && strcmp(argv[3], "--dirty") != 0)) {
    fprintf(stderr, "usage: make_hive OUT SIZE [--dirty]\n");
    return 2;
  }
  size_t size = (strtoull(argv[2], nullptr, 10) + 4095) / 4096 * 4096;
  if (size < 8192) size = 8192;
  std::string hive = BuildHive(size, 4096, argc == 4);
  FILE* out = fopen(argv[1], "wb");
  bool written = out && fwrite(hive.data(), 1, hive.size(), out) == hive.size();
  if (out) written = fclose(out) == 0 && written;
  return written ? 0 : 1;
}
