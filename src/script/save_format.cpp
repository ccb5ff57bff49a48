// Save-data files: name rule, variable bytes, and the checked reading of one slot's entry.
#include "script/save_format.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

#include "core/error_report.h"
#include "core/shift_jis.h"
#include "platform/read_only_file.h"
#include "core/byte_reader.h"
#include "core/byte_writer.h"

namespace korvel {

namespace {

// The largest raw size an entry of each kind can have.
constexpr uint64_t kMaxLayerRaw = kSavedLayerHead + uint64_t{8192} * 4 * 8192;
constexpr uint64_t kMaxVariableRaw = 12 + 4 * kMaxDimensions + kMaxSavedVariableData;
// deflate never packs more than 1032 bytes into one.
constexpr uint64_t kMaxInflateRatio = 1032;

int64_t ElementCountOf(uint32_t dim_count, const uint32_t* dims) {
  int64_t n = 1;
  for (uint32_t i = 0; i < dim_count; ++i) n *= dims[i];
  return n;
}

// Bounds-checked reading of a raw entry.
struct Cursor {
  std::span<const uint8_t> data;
  size_t at = 0;
  bool U32(uint32_t* v) {
    if (data.size() - at < 4) return false;
    *v = LoadU32(data.data() + at);
    at += 4;
    return true;
  }
  size_t left() const { return data.size() - at; }
};

using ReadAt = std::function<bool(uint64_t offset, void* buffer, size_t count)>;

SaveReadStatus ReadEntry(uint64_t size, const ReadAt& read, uint32_t slot, SaveEntry* entry) {
  if (slot < 1 || slot > kSaveSlotCount) return SaveReadStatus::kEmptySlot;
  uint8_t head[8];
  if (size < 8 || !read(0, head, 8) || std::memcmp(head, kSaveMagic, 4) != 0) {
    return SaveReadStatus::kBadMagic;
  }
  if (LoadU32(head + 4) != kSaveVersion) return SaveReadStatus::kBadVersion;
  if (size < kSaveHeaderSize) return SaveReadStatus::kBadMagic;
  uint8_t word[4];
  if (!read(kSaveTableOffset + 4 * uint64_t{slot - 1}, word, 4)) return SaveReadStatus::kBadMagic;
  const uint64_t offset = LoadU32(word);
  if (offset == 0) return SaveReadStatus::kEmptySlot;
  if (offset < kSaveHeaderSize || offset > size || size - offset < kSaveBlockOverhead) {
    return SaveReadStatus::kDamaged;
  }
  uint8_t block[kSaveBlockOverhead];
  if (!read(offset, block, sizeof block)) return SaveReadStatus::kDamaged;
  const uint32_t stored_slot = LoadU32(block);
  const uint8_t kind = block[4];
  const uint64_t compressed = LoadU32(block + 8);
  const uint64_t raw_size = LoadU32(block + 12);
  if (stored_slot != slot || kind > kSaveKindLayer) return SaveReadStatus::kDamaged;
  if (compressed > size - offset - kSaveBlockOverhead) return SaveReadStatus::kDamaged;
  const uint64_t limit = kind == kSaveKindLayer ? kMaxLayerRaw : kMaxVariableRaw;
  if (raw_size > limit || raw_size > compressed * kMaxInflateRatio + 64) {
    return SaveReadStatus::kDamaged;
  }
  std::vector<uint8_t> packed;
  try {
    packed.resize(compressed);
    entry->raw.resize(raw_size);
  } catch (const std::bad_alloc&) {
    entry->raw.clear();
    return SaveReadStatus::kNoMemory;
  }
  if (compressed != 0 && !read(offset + kSaveBlockOverhead, packed.data(), compressed)) {
    return SaveReadStatus::kDamaged;
  }
  uLongf out_length = static_cast<uLongf>(raw_size);
  // zlib wants a non-null buffer even for an empty result.
  uint8_t empty = 0;
  const int z = ::uncompress(raw_size != 0 ? entry->raw.data() : &empty, &out_length,
                             compressed != 0 ? packed.data() : &empty,
                             static_cast<uLong>(compressed));
  if (z != Z_OK || out_length != raw_size) {
    entry->raw.clear();
    return SaveReadStatus::kDamaged;
  }
  entry->kind = kind;
  return SaveReadStatus::kOk;
}

}  // namespace

int32_t MakeSaveFileName(std::string_view name, std::string* file_name) {
  std::string text = LookupName(name);
  bool has_backslash = false;
  bool has_colon = false;
  for (size_t i = 0; i < text.size(); i += SjisCharLength(text.data(), i, text.size())) {
    // Trail bytes of double-byte characters are stepped over: they are no slash or colon.
    if (text[i] == '\\') has_backslash = true;
    if (text[i] == ':') has_colon = true;
  }
  if (text.size() > kSaveNameMaxBytes) return kErrSaveNameLength;
  if (has_backslash) return kErrSaveNameBackslash;
  if (has_colon || text.empty()) return kErrSaveOpen;
  if (!StringEndsWith(text, ".sd")) text += ".sd";
  *file_name = text;
  return 0;
}

int32_t EncodeVariablePayload(const VariableRecord& var, bool whole, int64_t element,
                              std::vector<uint8_t>* raw) {
  raw->clear();
  int64_t first = 0;
  int64_t count = var.count;
  if (!whole) {
    if (element < 0 || element >= var.count) return -1;
    first = element;
    count = 1;
  }
  const uint32_t type = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(var.type)));
  AppendU32(raw, type);
  const uint32_t dim_count = whole ? static_cast<uint32_t>(var.dim_count) : 0;
  if (dim_count > kMaxDimensions) return -1;
  AppendU32(raw, dim_count);
  for (uint32_t i = 0; i < dim_count; ++i) AppendU32(raw, var.dims[i]);
  if (var.type != kVarInt && var.type != kVarReal && var.type != kVarString) return 0;
  uint64_t data_length = 0;
  if (var.type == kVarString) {
    for (int64_t i = first; i < first + count; ++i) {
      const char* s = var.strings != nullptr ? var.strings[i] : nullptr;
      data_length += 4 + (s != nullptr ? std::strlen(s) : 0);
      if (data_length > kMaxSavedVariableData) return kErrSaveDataTooLarge;
    }
  } else {
    data_length = 8 * static_cast<uint64_t>(count);
  }
  if (data_length > kMaxSavedVariableData) return kErrSaveDataTooLarge;
  AppendU32(raw, static_cast<uint32_t>(data_length));
  raw->reserve(raw->size() + data_length);
  for (int64_t i = first; i < first + count; ++i) {
    if (var.type == kVarInt) {
      AppendU64(raw, static_cast<uint64_t>(var.ints[i]));
    } else if (var.type == kVarReal) {
      uint64_t bits;
      std::memcpy(&bits, &var.reals[i], 8);
      AppendU64(raw, bits);
    } else {
      const char* s = var.strings != nullptr && var.strings[i] != nullptr ? var.strings[i] : "";
      const size_t length = std::strlen(s);
      AppendU32(raw, static_cast<uint32_t>(length));
      raw->insert(raw->end(), s, s + length);
    }
  }
  return 0;
}

SaveReadStatus ReadSaveEntryFromBytes(std::span<const uint8_t> file, uint32_t slot,
                                      SaveEntry* entry) {
  const ReadAt read = [file](uint64_t offset, void* buffer, size_t count) {
    if (offset > file.size() || file.size() - offset < count) return false;
    if (count != 0) std::memcpy(buffer, file.data() + offset, count);
    return true;
  };
  return ReadEntry(file.size(), read, slot, entry);
}

SaveReadStatus ReadSaveEntry(const std::string& path, uint32_t slot, SaveEntry* entry) {
  platform::ReadOnlyFile file;
  if (platform::OpenReadOnlyFile(path, &file) != platform::FileStatus::kOk) {
    return SaveReadStatus::kOpenFailed;
  }
  const ReadAt read = [&file](uint64_t offset, void* buffer, size_t count) {
    return platform::ReadFileAt(file, offset, buffer, count) == platform::FileStatus::kOk;
  };
  const SaveReadStatus status = ReadEntry(file.size, read, slot, entry);
  platform::CloseReadOnlyFile(&file);
  return status;
}

int32_t DecodeVariablePayload(std::span<const uint8_t> raw, uint32_t number, bool whole,
                              int64_t element, DecodedVariable* out) {
  const VariableRecord* var = FindVariable(number);
  Cursor c{raw};
  uint32_t type = 0;
  if (var == nullptr || !c.U32(&type)) return 900000;
  if (type != var->type) {
    if (type < kVarInt || type > kVarString) return 900000;
    return kErrLoadTypeMismatch;
  }
  if (type < kVarInt || type > kVarString) return 900000;
  out->type = type;
  if (!c.U32(&out->dim_count) || out->dim_count > kMaxDimensions) return 900000;
  for (uint32_t i = 0; i < out->dim_count; ++i) {
    if (!c.U32(&out->dims[i])) return 900000;
  }
  uint32_t data_length = 0;
  if (!c.U32(&data_length)) return 900000;
  if (data_length > kMaxSavedVariableData) return kErrSaveDataTooLarge;
  if (data_length > c.left()) return 900000;
  if (whole) {
    if (out->dim_count != static_cast<uint32_t>(var->dim_count)) return kErrLoadDimensionCount;
    for (uint32_t i = 0; i < out->dim_count; ++i) {
      if (out->dims[i] != var->dims[i]) return kErrLoadDimensionSize;
    }
    out->count = static_cast<uint64_t>(ElementCountOf(out->dim_count, out->dims));
    if (static_cast<int64_t>(out->count) != var->count) return 900000;
  } else {
    if (out->dim_count != 0) return kErrLoadDimensionCount;
    if (element < 0 || element >= var->count) return 900000;
    out->count = 1;
  }
  Cursor d{raw.subspan(c.at, data_length)};
  if (type != kVarString) {
    if (data_length != 8 * out->count) return 900000;
    out->ints.resize(out->count);
    for (uint64_t i = 0; i < out->count; ++i) {
      uint32_t lo = 0, hi = 0;
      d.U32(&lo);
      d.U32(&hi);
      out->ints[i] = static_cast<int64_t>(uint64_t{hi} << 32 | lo);
    }
    return 0;
  }
  out->strings.resize(out->count);
  for (uint64_t i = 0; i < out->count; ++i) {
    uint32_t length = 0;
    if (!d.U32(&length) || length > d.left()) return 900000;
    out->strings[i].assign(reinterpret_cast<const char*>(d.data.data() + d.at), length);
    d.at += length;
  }
  return d.left() == 0 ? 0 : 900000;
}

int32_t StoreDecodedVariable(DecodedVariable& decoded, uint32_t number, bool whole,
                             int64_t element) {
  VariableRecord* var = FindVariable(number);
  if (var == nullptr || var->type != decoded.type) return -1;
  const int64_t first = whole ? 0 : element;
  const int64_t count = static_cast<int64_t>(decoded.count);
  if (first < 0 || count > var->count - first) return -1;
  if (decoded.type == kVarInt || decoded.type == kVarReal) {
    for (int64_t i = 0; i < count; ++i) {
      if (decoded.type == kVarInt) {
        var->ints[first + i] = decoded.ints[static_cast<size_t>(i)];
      } else {
        std::memcpy(&var->reals[first + i], &decoded.ints[static_cast<size_t>(i)], 8);
      }
    }
    return 0;
  }
  // Strings: every new buffer first, so a failure leaves the variable as it was.
  std::vector<char*> fresh(static_cast<size_t>(count), nullptr);
  for (int64_t i = 0; i < count; ++i) {
    const std::string& s = decoded.strings[static_cast<size_t>(i)];
    fresh[static_cast<size_t>(i)] = static_cast<char*>(std::malloc(s.size() + 1));
    if (fresh[static_cast<size_t>(i)] == nullptr) {
      for (char* p : fresh) std::free(p);
      ReportScriptErrorPlain(100010, true);
      return -1;
    }
    if (!s.empty()) std::memcpy(fresh[static_cast<size_t>(i)], s.data(), s.size());
    fresh[static_cast<size_t>(i)][s.size()] = '\0';
  }
  for (int64_t i = 0; i < count; ++i) {
    std::free(var->strings[first + i]);
    var->strings[first + i] = fresh[static_cast<size_t>(i)];
    var->capacities[first + i] =
        static_cast<uint32_t>(decoded.strings[static_cast<size_t>(i)].size() + 1);
  }
  return 0;
}

}  // namespace korvel
