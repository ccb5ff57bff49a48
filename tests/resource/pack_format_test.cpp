// The pack format's constants: the name-length table pinned byte for byte (changing it breaks every
// pack ever written), its codes, and CRC-32 against zlib's crc32 and the standard check value.
#include "resource/pack_format.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "pack_test_builder.h"
#include "resource/pack_crc32.h"

namespace korvel {
namespace {

std::string Hex(const uint8_t* bytes, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

TEST(PackFormatTest, NameLengthTableGoldenBytes) {
  const std::string expected =
      "00c80261042a060783090a0bfa0d0e0f10401213211516171819b11b1c1d5a1f"
      "20142223242526272829052b2ca02e2f303132333435368038393a3b3c3d3e3f"
      "114142434445de4748494a4b4c4d4e4f6e5152535455565758591e5b5c5d5e5f"
      "600362c76465666768696a6b6c6d506f707172737475767778797a7b7c7d7e7f"
      "378182088485868788898a8bf08d8e8f909192939495ff9798999a9b9c9d9e9f"
      "2da1a2a3a4a5a6a7a8a9aaabacadaeafb01ab2b3b4b5b6b7b8b9babbbcbdbebf"
      "c0c1c2c3c4c5c66301c9cacbcccdcecfd0d1d2d3d4d5d6d7d8d9dadbdcdd46df"
      "e0e1e2e3e4e5e6e7e8e9eaebecedeeef8cf1f2f3f4f5f6f7f8f90cfbfcfdfe96";
  EXPECT_EQ(Hex(kPackNameLengthTable.data(), kPackNameLengthTable.size()), expected);
}

TEST(PackFormatTest, LengthCodesRoundTrip) {
  for (int length = 0; length < 256; ++length) {
    const uint8_t code = PackNameLengthCode(static_cast<uint8_t>(length));
    EXPECT_EQ(PackNameLengthFromCode(code), static_cast<uint32_t>(length));
  }
  // A length the table leaves in place is coded as 255 - length; an exchanged one is not.
  EXPECT_EQ(PackNameLengthCode(2), 253);
  EXPECT_EQ(PackNameLengthCode(5), 255 - 42);
}

TEST(PackFormatTest, RepairBlockCounts) {
  EXPECT_EQ(PackRepairBlockCount(0), 0u);
  EXPECT_EQ(PackRepairBlockCount(1), 1u);
  EXPECT_EQ(PackRepairBlockCount(1024), 1u);
  EXPECT_EQ(PackRepairBlockCount(1025), 2u);
  EXPECT_EQ(PackRepairBlockCount(0xFFFFFFFFull), 4194304u);
}

TEST(PackCrc32Test, StandardCheckValue) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("", 0), 0u);
}

TEST(PackCrc32Test, MatchesZlibAtEveryLengthAndAlignment) {
  const std::string noise = pack_test::NoiseBytes(2200, 77);
  for (size_t start = 0; start < 4; ++start) {
    for (size_t length = 0; start + length <= 2100; length += (length < 64 ? 1 : 37)) {
      const auto* p = reinterpret_cast<const uint8_t*>(noise.data() + start);
      const auto expected = static_cast<uint32_t>(crc32(0, p, static_cast<uInt>(length)));
      ASSERT_EQ(Crc32(p, length), expected) << "start " << start << ", length " << length;
    }
  }
}

}  // namespace
}  // namespace korvel
