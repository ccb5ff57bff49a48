// The .kpf pack format: header, directory entries, repair blocks and the name-length table. Shared
// by the engine's reader and the pack tools, so both always agree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/byte_reader.h"

namespace korvel {

// Header (32 bytes): magic, version (i32), entry count (u32), directory size (u32), 16 bytes that
// the engine does not read (the tools write zeros).
inline constexpr char kPackMagic[4] = {'K', 'P', 'F', '\0'};
inline constexpr int32_t kPackVersion = 234;  // the oldest version read, and the one written
inline constexpr size_t kPackHeaderSize = 32;
inline constexpr size_t kPackEntryCountOffset = 8;
inline constexpr size_t kPackDirectorySizeOffset = 12;

// Directory entry: hash (u32), length code (u8), name (L bytes, inverted), type (u8),
// compression (u8), size (u32), stored size (u32), data offset (u64), stored-bytes hash (u32).
inline constexpr size_t kPackEntryFixedSize = 27;  // plus the name
inline constexpr size_t kPackEntryTailSize = 21;   // the fields behind the type byte
inline constexpr uint8_t kPackStored = 0;
inline constexpr uint8_t kPackZlib = 1;

// Repair block behind an entry's stored bytes: parity length P (u32), block count N (u32), the low
// 16 bits of each 1024-byte block's CRC-32 (u16 each), then P parity bytes. P = 0: no repair data.
inline constexpr uint32_t kPackRepairBlockSize = 1024;
inline constexpr size_t kPackRepairHeaderSize = 8;

// Mount limits.
inline constexpr uint32_t kMaxPackFiles = 100;
inline constexpr uint64_t kMaxPackEntries = 100000;
inline constexpr int kUpdatePackSlots = 9;  // update1.kpf .. update9.kpf

// The path under which the pack appended to the executable is registered.
inline constexpr char kExecutablePackPath[] = "\x01";

// Pairs of name lengths exchanged in the name-length table. Changing them changes every pack: a
// golden-bytes test pins the table.
struct PackNameLengthSwap {
  uint8_t a;
  uint8_t b;
};
inline constexpr PackNameLengthSwap kPackNameLengthSwaps[] = {
    {1, 200}, {3, 97},   {5, 42},   {8, 131},  {12, 250}, {17, 64},  {20, 33},   {26, 177},
    {30, 90}, {45, 160}, {55, 128}, {70, 222}, {80, 110}, {99, 199}, {140, 240}, {150, 255},
};

constexpr std::array<uint8_t, 256> MakePackNameLengthTable() {
  std::array<uint8_t, 256> table{};
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i);
  for (const auto& swap : kPackNameLengthSwaps) {
    const uint8_t t = table[swap.a];
    table[swap.a] = table[swap.b];
    table[swap.b] = t;
  }
  return table;
}

// The identity permutation with the pairs above exchanged (so it is its own inverse).
inline constexpr std::array<uint8_t, 256> kPackNameLengthTable = MakePackNameLengthTable();

constexpr bool PackNameLengthTableIsInvolution() {
  for (size_t i = 0; i < kPackNameLengthTable.size(); ++i) {
    if (kPackNameLengthTable[kPackNameLengthTable[i]] != i) return false;
  }
  return true;
}
static_assert(PackNameLengthTableIsInvolution(), "the name-length pairs must be disjoint");

// The name length a length code stands for: the table at 255 - code.
constexpr uint32_t PackNameLengthFromCode(uint8_t code) { return kPackNameLengthTable[255 - code]; }

// The length code of a name length (the inverse of PackNameLengthFromCode).
constexpr uint8_t PackNameLengthCode(uint8_t length) {
  return static_cast<uint8_t>(255 - kPackNameLengthTable[length]);
}

// Number of repair blocks for `stored` bytes: ceil(stored / 1024).
constexpr uint64_t PackRepairBlockCount(uint64_t stored) {
  return stored / kPackRepairBlockSize + (stored % kPackRepairBlockSize != 0 ? 1 : 0);
}

}  // namespace korvel
