// make_hive OUT SIZE [--dirty] [--bare]: writes a valid registry hive of SIZE
// bytes (rounded up to whole 4096-byte blocks) for the command-line tests and
// the benchmark: its key tree fills it, or with --bare only its root key
// stands in free space. Its base block names OUT's file, as Windows names
// the file a hive was loaded from.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "hive_builder.h"

int main(int argc, char** argv) {
  bool dirty = false, bare = false, usable = argc >= 3;
  for (int i = 3; i < argc; ++i) {
    if (strcmp(argv[i], "--dirty") == 0) dirty = true;
    else if (strcmp(argv[i], "--bare") == 0) bare = true;
    else usable = false;
  }
  if (!usable) {
    fprintf(stderr, "usage: make_hive OUT SIZE [--dirty] [--bare]\n");
    return 2;
  }
  size_t size = (strtoull(argv[2], nullptr, 10) + 4095) / 4096 * 4096;
  if (size < 8192) size = 8192;
  std::string path = argv[1];
  std::string file = path.substr(path.find_last_of('/') + 1);
  std::string hive = bare ? BuildHive(size, 4096, dirty) : BuildFilledHive(size, dirty, file);
  FILE* out = fopen(argv[1], "wb");
  bool written = out && fwrite(hive.data(), 1, hive.size(), out) == hive.size();
  if (out) written = fclose(out) == 0 && written;
  return written ? 0 : 1;
}
