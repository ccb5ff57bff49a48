// A little-endian byte writer for the compiled formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace korvel::tools {

struct ByteWriter {
  std::vector<uint8_t> bytes;

  size_t size() const { return bytes.size(); }
  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void U64(uint64_t v) {
    U32(static_cast<uint32_t>(v));
    U32(static_cast<uint32_t>(v >> 32));
  }
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
  void PatchU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
};

}  // namespace korvel::tools
