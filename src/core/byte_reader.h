// A bounds-checked little-endian reader over a byte buffer: a read past the end fails (and every
// later read fails too) instead of touching memory outside the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korvel {

struct ByteReader {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  bool ok = true;

  ByteReader() = default;
  ByteReader(const uint8_t* bytes, size_t length) : data(bytes), size(length) {}

  size_t Remaining() const { return ok ? size - pos : 0; }

  bool Need(size_t count) {
    if (!ok || size - pos < count) ok = false;
    return ok;
  }
  bool Skip(size_t count) {
    if (!Need(count)) return false;
    pos += count;
    return true;
  }
  bool Seek(size_t offset) {
    if (!ok || offset > size) return ok = false;
    pos = offset;
    return true;
  }
  uint8_t U8() {
    if (!Need(1)) return 0;
    return data[pos++];
  }
  uint16_t U16() {
    if (!Need(2)) return 0;
    const uint16_t v = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
    pos += 2;
    return v;
  }
  uint32_t U32() {
    if (!Need(4)) return 0;
    const uint32_t v = static_cast<uint32_t>(data[pos]) | static_cast<uint32_t>(data[pos + 1]) << 8 |
                       static_cast<uint32_t>(data[pos + 2]) << 16 |
                       static_cast<uint32_t>(data[pos + 3]) << 24;
    pos += 4;
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint64_t U64() {
    const uint64_t lo = U32();
    const uint64_t hi = U32();
    return lo | hi << 32;
  }
  int64_t I64() { return static_cast<int64_t>(U64()); }
  double F64() {
    const uint64_t bits = U64();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  // A pointer to the next `count` bytes, which the reader steps over; null when they are missing.
  const uint8_t* Bytes(size_t count) {
    if (!Need(count)) return nullptr;
    const uint8_t* p = data + pos;
    pos += count;
    return p;
  }
  // The length of a NUL-terminated text at the current position (the reader steps over it and its
  // NUL); false when no NUL follows inside the buffer.
  bool CString(const char** text, size_t* length) {
    if (!ok) return false;
    const void* nul = std::memchr(data + pos, 0, size - pos);
    if (nul == nullptr) return ok = false;
    *text = reinterpret_cast<const char*>(data + pos);
    *length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - (data + pos));
    pos += *length + 1;
    return true;
  }
};

// Words read from memory the caller has already checked to hold them.
constexpr uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
constexpr int16_t LoadI16(const uint8_t* p) { return static_cast<int16_t>(LoadU16(p)); }
constexpr uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
constexpr uint64_t LoadU64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadU32(p)) | static_cast<uint64_t>(LoadU32(p + 4)) << 32;
}

}  // namespace korvel
