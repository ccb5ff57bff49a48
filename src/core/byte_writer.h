// Little-endian words written into bytes: a growing writer for whole files and stores into a
// buffer already sized. The counterpart of byte_reader.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace korvel {

inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreU64(uint8_t* p, uint64_t v) {
  StoreU32(p, static_cast<uint32_t>(v));
  StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
}

inline void AppendU16(std::vector<uint8_t>* out, uint16_t v) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  out->insert(out->end(), bytes, bytes + 2);
}
inline void AppendU32(std::vector<uint8_t>* out, uint32_t v) {
  uint8_t bytes[4];
  StoreU32(bytes, v);
  out->insert(out->end(), bytes, bytes + 4);
}
inline void AppendU64(std::vector<uint8_t>* out, uint64_t v) {
  uint8_t bytes[8];
  StoreU64(bytes, v);
  out->insert(out->end(), bytes, bytes + 8);
}

struct ByteWriter {
  std::vector<uint8_t> bytes;

  size_t size() const { return bytes.size(); }
  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) { AppendU16(&bytes, v); }
  void U32(uint32_t v) { AppendU32(&bytes, v); }
  void U64(uint64_t v) { AppendU64(&bytes, v); }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
  void F64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    U64(bits);
  }
  void Bytes(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
  }
  void Bytes(const std::vector<uint8_t>& v) { bytes.insert(bytes.end(), v.begin(), v.end()); }
  void Text(std::string_view s) { Bytes(s.data(), s.size()); }
  void CString(std::string_view s) {
    Text(s);
    U8(0);
  }
  void Zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
  // Overwrites a u32 written earlier.
  void PatchU32(size_t at, uint32_t v) { StoreU32(bytes.data() + at, v); }
};

}  // namespace korvel
