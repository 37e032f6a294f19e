// The walk of a hive's key tree from its root cell, over hive data held whole
// in memory once HiveBinCheck has checked its bins and cells. Like
// hive_check.h, no allocation and no C runtime beyond what ntdll exports: the
// caller gives the working memory.
#pragma once

#include <stdint.h>

#include "hive_check.h"

// Windows refuses to nest keys deeper than this below a hive's root.
constexpr uint32_t kMaxKeyDepth = 512;

// The working memory of a whole hive's check, in 32-bit words: the map of
// allocated cells that HiveBinCheck fills, the map of reached cells, and a
// stack of kMaxKeyDepth places of three words.
inline uint32_t HiveCheckMemoryWords(uint32_t dataSize) { return 2 * CellMapWords(dataSize) + 3 * kMaxKeyDepth; }

// Walks the key tree of the info.dataSize bytes of hive data at data from the
// root cell, once HiveBinCheck has found its bins sound and mapped their
// cells at the start of memory. Every key cell (nk), subkey list (lf, lh,
// li, and ri with its leaves), value list, value cell (vk), value data (big
// data db with its segments included), class name and security cell (sk)
// that the tree reaches: its signature, every offset on an allocated cell
// inside the data, sizes and counts that fit the cells and agree with the
// lists, no cell reached twice (security cells are shared).
HiveFault CheckKeyTree(const uint8_t* data, const BaseBlockInfo& info, uint32_t* memory);


// Checks a hive held whole in memory (length bytes: its base block, then its
// data) as the streamed checks of the snapshot library do: the base block,
// the hive its name says (when expected is given), the bins and cells, the
// key tree. memory holds HiveCheckMemoryWords(length - kHiveBaseBlockBytes)
// words; *info receives what the base block says (whether the hive is
// dirty, among that) once it is found sound.
HiveFault CheckWholeHive(const uint8_t* hive, uint64_t length, const SnapshotHive* expected, uint32_t* memory,
                         BaseBlockInfo* info);
