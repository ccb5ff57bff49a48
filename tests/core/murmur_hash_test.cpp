// MurmurHash2 against its published verification value and known answers.
#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "core/murmur_hash.h"

namespace korvel {
namespace {

// SMHasher's verification: hash the keys {}, {0}, {0,1}, ... {0..254} with seeds 256 - length, then
// hash the 256 little-endian results with seed 0.
TEST(MurmurHash2Test, MatchesTheSmhasherVerificationValue) {
  uint8_t key[256];
  uint8_t hashes[256 * 4];
  for (int i = 0; i < 256; ++i) {
    key[i] = static_cast<uint8_t>(i);
    const uint32_t h = MurmurHash2(key, static_cast<size_t>(i), static_cast<uint32_t>(256 - i));
    for (int b = 0; b < 4; ++b) hashes[i * 4 + b] = static_cast<uint8_t>(h >> (8 * b));
  }
  EXPECT_EQ(MurmurHash2(hashes, sizeof(hashes), 0), 0x27864C1Eu);
}

TEST(MurmurHash2Test, KnownAnswers) {
  struct Case {
    std::string bytes;
    uint32_t hash;
  };
  const Case cases[] = {
      {"", 0x00000000u},
      {"a", 0x92685F5Eu},
      {"abc", 0x13577C9Bu},
      {std::string("\xFF\xFF\xFF", 3), 0xE7B72D6Bu},  // tail bytes are unsigned
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MurmurHash2(c.bytes.data(), c.bytes.size()), c.hash) << c.bytes;
  }
}

}  // namespace
}  // namespace korvel
