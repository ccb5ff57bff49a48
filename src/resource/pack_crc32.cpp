// CRC-32 with four tables, so each step folds four bytes.
#include "resource/pack_crc32.h"

#include <array>

namespace korvel {

namespace {

using CrcTables = std::array<std::array<uint32_t, 256>, 4>;

constexpr CrcTables MakeTables() {
  CrcTables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    t[0][i] = c;
  }
  // t[k][i]: the CRC of byte i followed by k zero bytes.
  for (uint32_t i = 0; i < 256; ++i) {
    for (size_t k = 1; k < 4; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}

constexpr CrcTables kTables = MakeTables();

}  // namespace

uint32_t Crc32(const void* bytes, size_t length) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  uint32_t crc = 0xFFFFFFFFu;
  while (length >= 4) {
    crc ^= static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    crc = kTables[3][crc & 0xFF] ^ kTables[2][(crc >> 8) & 0xFF] ^ kTables[1][(crc >> 16) & 0xFF] ^
          kTables[0][crc >> 24];
    p += 4;
    length -= 4;
  }
  while (length-- > 0) crc = (crc >> 8) ^ kTables[0][(crc ^ *p++) & 0xFF];
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace korvel
