// Packs for the reader tests, written byte by byte from the format's tables (zlib streams and
// CRC-32 checks from zlib itself), with every field open to corruption.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/murmur_hash.h"
#include "resource/pack_format.h"

namespace korvel::pack_test {

struct RawEntry {
  std::string name;                   // as stored in plain form (the builder inverts it)
  std::string data;                   // the entry's bytes
  uint8_t compression = kPackStored;  // kPackZlib compresses `data` with zlib's compress2
  bool repair = true;                 // parity behind the stored bytes; else the empty block
  uint8_t type = 0;
  // Field overrides, applied after the builder computed the field.
  std::optional<uint32_t> name_hash;
  std::optional<uint32_t> size;
  std::optional<uint32_t> stored_size;
  std::optional<uint64_t> data_offset;
  std::optional<uint32_t> data_hash;
  std::optional<std::string> stored;        // replaces the stored bytes (hash taken over these)
  std::optional<std::string> repair_block;  // replaces the repair block
};

struct RawPack {
  std::string magic = std::string("KPF\0", 4);
  int32_t version = kPackVersion;
  std::optional<uint32_t> entry_count;
  std::optional<uint32_t> directory_size;
  std::vector<RawEntry> entries;
  size_t truncate_directory_to = SIZE_MAX;  // keeps only this many directory bytes
};

// Where each entry's stored bytes ended up.
struct RawLayout {
  std::vector<uint64_t> data_offsets;
  std::vector<uint64_t> stored_sizes;
};

inline void PutU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}
inline void PutU64(std::string* out, uint64_t v) {
  PutU32(out, static_cast<uint32_t>(v));
  PutU32(out, static_cast<uint32_t>(v >> 32));
}

inline uint32_t Hash(const std::string& s) { return MurmurHash2(s.data(), s.size()); }

inline std::string ZlibCompress(const std::string& data, int level = 9) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size,
            reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()), level);
  out.resize(size);
  return out;
}

// P = 1024, N, the low 16 bits of each block's CRC-32 (zlib's crc32), the XOR parity.
inline std::string RepairBlockFor(const std::string& stored) {
  std::string out;
  const size_t blocks = (stored.size() + 1023) / 1024;
  PutU32(&out, 1024);
  PutU32(&out, static_cast<uint32_t>(blocks));
  std::string parity(1024, '\0');
  for (size_t b = 0; b < blocks; ++b) {
    const size_t n = std::min<size_t>(1024, stored.size() - b * 1024);
    const auto* p = reinterpret_cast<const Bytef*>(stored.data() + b * 1024);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, p, static_cast<uInt>(n)));
    out.push_back(static_cast<char>(crc));
    out.push_back(static_cast<char>(crc >> 8));
    for (size_t j = 0; j < n; ++j) parity[j] = static_cast<char>(parity[j] ^ stored[b * 1024 + j]);
  }
  return out + parity;
}

inline std::string BuildRawPack(const RawPack& pack, RawLayout* layout = nullptr) {
  std::vector<std::string> stored(pack.entries.size());
  std::vector<std::string> repair(pack.entries.size());
  uint64_t directory_size = 0;
  for (size_t i = 0; i < pack.entries.size(); ++i) {
    const RawEntry& e = pack.entries[i];
    stored[i] = e.stored ? *e.stored : e.compression == kPackZlib ? ZlibCompress(e.data) : e.data;
    repair[i] = e.repair_block ? *e.repair_block
                : e.repair     ? RepairBlockFor(stored[i])
                               : std::string(8, '\0');
    directory_size += kPackEntryFixedSize + e.name.size();
  }
  std::string directory;
  uint64_t offset = kPackHeaderSize + directory_size;
  if (layout != nullptr) *layout = RawLayout{};
  for (size_t i = 0; i < pack.entries.size(); ++i) {
    const RawEntry& e = pack.entries[i];
    PutU32(&directory, e.name_hash ? *e.name_hash : Hash(e.name));
    directory.push_back(static_cast<char>(PackNameLengthCode(static_cast<uint8_t>(e.name.size()))));
    for (const char c : e.name) directory.push_back(static_cast<char>(~c));
    directory.push_back(static_cast<char>(e.type));
    directory.push_back(static_cast<char>(e.compression));
    PutU32(&directory, e.size ? *e.size : static_cast<uint32_t>(e.data.size()));
    PutU32(&directory, e.stored_size ? *e.stored_size : static_cast<uint32_t>(stored[i].size()));
    PutU64(&directory, e.data_offset ? *e.data_offset : offset);
    PutU32(&directory, e.data_hash ? *e.data_hash : Hash(stored[i]));
    if (layout != nullptr) {
      layout->data_offsets.push_back(offset);
      layout->stored_sizes.push_back(stored[i].size());
    }
    offset += stored[i].size() + repair[i].size();
  }
  if (directory.size() > pack.truncate_directory_to) directory.resize(pack.truncate_directory_to);

  std::string out = pack.magic;
  PutU32(&out, static_cast<uint32_t>(pack.version));
  PutU32(&out, pack.entry_count ? *pack.entry_count : static_cast<uint32_t>(pack.entries.size()));
  PutU32(&out,
         pack.directory_size ? *pack.directory_size : static_cast<uint32_t>(directory.size()));
  out.append(16, '\0');
  out += directory;
  for (size_t i = 0; i < pack.entries.size(); ++i) out += stored[i] + repair[i];
  return out;
}

// A pack of `count` empty entries named "f<number>" (no repair data), built quickly.
inline std::string ManyEntryPack(uint32_t count, uint32_t first_number = 0) {
  RawPack pack;
  pack.entries.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    pack.entries[i].name = "f" + std::to_string(first_number + i);
    pack.entries[i].repair = false;
  }
  return BuildRawPack(pack);
}

// Bytes of a simple deterministic generator, for contents that do not compress.
inline std::string NoiseBytes(size_t count, uint32_t seed) {
  std::string out(count, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < count; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    out[i] = static_cast<char>(x >> 24);
  }
  return out;
}

// A copy of a program file with `pack` appended: "KRER", offset 16, preview 0, zero, the pack,
// then the footer "KR_RES\0\0" + u64 size of the program.
inline std::string AppendToProgram(const std::string& program, const std::string& pack) {
  std::string out = program + "KRER";
  PutU32(&out, 16);
  PutU32(&out, 0);
  PutU32(&out, 0);
  out += pack;
  out += std::string("KR_RES\0\0", 8);
  PutU64(&out, program.size());
  return out;
}

}  // namespace korvel::pack_test
