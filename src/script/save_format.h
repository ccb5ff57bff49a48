// Save-data files: the header, the slot table and the blocks, the file-name rule, the raw bytes of
// a saved variable, and the reading of one slot's entry with every check before any allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/variables.h"

namespace korvel {

inline constexpr char kSaveMagic[4] = {'K', 'R', 'S', 'D'};
inline constexpr uint32_t kSaveVersion = 312;
inline constexpr uint32_t kSaveSlotCount = 1024;
inline constexpr uint64_t kSaveTableOffset = 16;
inline constexpr uint64_t kSaveHeaderSize = kSaveTableOffset + 4 * kSaveSlotCount;  // 4112
inline constexpr size_t kSaveBlockHeadSize = 12;   // kind, flag, two zero bytes, C, R
inline constexpr uint64_t kSaveBlockOverhead = 16;  // slot word + block head
inline constexpr uint8_t kSaveKindVariable = 0;
inline constexpr uint8_t kSaveKindLayer = 1;
inline constexpr size_t kSaveNameMaxBytes = 32;
// The most data bytes a saved variable may carry (the loader refuses more).
inline constexpr uint64_t kMaxSavedVariableData = 40000000;
inline constexpr uint32_t kSavedLayerRecordSize = 1536;
inline constexpr uint64_t kSavedLayerHead = 8 + kSavedLayerRecordSize;  // 1544

// Error codes of the save and load commands.
enum : int32_t {
  kErrSaveOpen = 102140,
  kErrSaveNameBackslash = 102150,
  kErrSaveNameLength = 102160,
  kErrSaveSlotPending = 102170,
  kErrLoadOpen = 102100,
  kErrLoadEmptySlot = 102110,
  kErrLoadTypeMismatch = 102120,
  kErrSaveMagic = 108030,
  kErrSaveVersion = 108040,
  kErrLoadLayerIntoVariable = 108050,
  kErrSaveDataTooLarge = 108070,
  kErrLoadDimensionCount = 108080,
  kErrLoadDimensionSize = 108090,
  kErrLoadVariableIntoLayer = 108100,
  kErrLoadLayerRecordSize = 108110,
};

// The file name of a script's save name: ASCII letters lowered (double-byte characters stepped
// over), '/' turned into '\', ".sd" appended unless the name ends in it. 0, or 102160 (more than 32
// bytes), 102150 (a '\'), 102140 (a ':', which no file name may hold).
int32_t MakeSaveFileName(std::string_view name, std::string* file_name);

// The raw bytes of a variable: one element (`whole` false) or every element. 0, or 108070 when its
// data passes what the loader takes or a size passes 32 bits; -1 for an element outside the
// variable.
int32_t EncodeVariablePayload(const VariableRecord& var, bool whole, int64_t element,
                              std::vector<uint8_t>* raw);

// One slot's entry read from a save file: its kind and raw bytes.
struct SaveEntry {
  uint8_t kind = 0;
  std::vector<uint8_t> raw;
};

enum class SaveReadStatus : uint8_t {
  kOk,
  kOpenFailed,  // 102100
  kBadMagic,    // 108030 (also a file too short for its header)
  kBadVersion,  // 108040
  kEmptySlot,   // 102110
  kNoMemory,    // "[Load]メモリ不足エラーです。"
  kDamaged,     // "Load Error.": the entry is not whole or does not inflate to its raw size
};

// Reads slot `slot` (1..1024) of an in-memory save file.
SaveReadStatus ReadSaveEntryFromBytes(std::span<const uint8_t> file, uint32_t slot,
                                      SaveEntry* entry);
// The same for a file on disk (UTF-8 path); the file is closed on every path.
SaveReadStatus ReadSaveEntry(const std::string& path, uint32_t slot, SaveEntry* entry);

// A saved variable parsed and checked against its target, ready to be stored.
struct DecodedVariable {
  uint32_t type = 0;
  uint32_t dim_count = 0;
  uint32_t dims[kMaxDimensions] = {};
  uint64_t count = 0;
  std::vector<int64_t> ints;  // type 1 values, or type 2 bit patterns
  std::vector<std::string> strings;
};

// Parses a variable entry's raw bytes and checks them against variable `number` (element target
// at `element`, or the whole variable). 0, or the error code to report: 900000 (damaged data or a
// stored type outside 1..3), 108070, 108080, 108090, 102120. Nothing changes.
int32_t DecodeVariablePayload(std::span<const uint8_t> raw, uint32_t number, bool whole,
                              int64_t element, DecodedVariable* out);

// Stores a decoded variable into its target. Every allocation comes first: 0, or -1 after
// reporting 100010 with the variable as it was.
int32_t StoreDecodedVariable(DecodedVariable& decoded, uint32_t number, bool whole,
                             int64_t element);

}  // namespace korvel
