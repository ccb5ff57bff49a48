// Blend lookup tables: digests from a script written from the mode formulas, spot values, and
// the edge cases of the modes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "pixel/blend_modes.h"
#include "pixel/blend_tables.h"
#include "required_tool.h"
#include "sha256.h"

namespace korvel {
namespace {

using pixel_test::Sha256Hex;

// Little-endian bytes of a 16-bit table, as the script hashes them.
template <typename T, size_t N>
std::string Digest16(const T (&table)[N]) {
  std::vector<uint8_t> bytes(N * 2);
  for (size_t i = 0; i < N; ++i) {
    const auto v = static_cast<uint16_t>(table[i]);
    bytes[i * 2] = static_cast<uint8_t>(v);
    bytes[i * 2 + 1] = static_cast<uint8_t>(v >> 8);
  }
  return Sha256Hex(bytes.data(), bytes.size());
}

template <size_t N>
std::string Digest8(const uint8_t (&table)[N]) {
  return Sha256Hex(table, N);
}

TEST(BlendTables, Sha256KnownAnswer) {
  EXPECT_EQ(Sha256Hex("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("", 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

struct DigestCase {
  const char* name;
  std::string got;
  const char* want;
};

// The engine's digests and those printed by tests/pixel/tools/blend_table_sha256.py.
std::vector<DigestCase> Digests() {
  const BlendLookupTables& t = GetBlendTables();
  return {
      {"saturating_add", Digest8(t.saturating_add), "385fd4ddbf4f4b5bcb02776f51f1c9a07a35029e8679ef38d13bbf7ba1e4f863"},
      {"floor_subtract", Digest8(t.floor_subtract), "382dc30f03a106a74f24fb8a404bf0efefe0d9aa12ff4dc3742f65089b547bbe"},
      {"multiply", Digest8(t.multiply), "38ce253847eba85db31f1b79a959af0766b99d38435ea8dbc5bffb4678d1721b"},
      {"divide", Digest8(t.divide), "acd2c0059c2820cf41c07eecc3667e1fbd409ceddda37834deefa97e7e3ee067"},
      {"screen", Digest8(t.screen), "9390771ebdcecc4dde32c79c8f3150498dcd6c229b65b6854579914e856652ca"},
      {"difference", Digest8(t.difference), "eb7214b20e33f69a01fda08c2bf032c318ac1e77aeed441dfbe467dc6ed220d3"},
      {"exclusion", Digest8(t.exclusion), "e5382f3144ca3d91fc7831203e81b3327102ccadd71ad150ad736ae3815f1e2a"},
      {"overlay", Digest8(t.overlay), "b257a826de6c04c44658f5579ac543c511c65db0736a3c788ce57b4010a83df3"},
      {"colour_dodge", Digest8(t.colour_dodge), "9c746ecdd72576df169e8c863ceffa4c63e850879527b16c53e0cd51cd88ded3"},
      {"colour_burn", Digest8(t.colour_burn), "e6d56682e550b79d340b9aef929bf39478cdd52ec17a49747ed5e4ad15c7aeb7"},
      {"linear_burn", Digest8(t.linear_burn), "82affff89a943f6eb5a8fdd1b4a51df5bf23f0a43530e351cc19aac834b70506"},
      {"hard_light", Digest8(t.hard_light), "a0192c949dae66244a4d73dcf39c8cf48576e37622b1bbb7b637a83fc41c8622"},
      {"soft_light", Digest8(t.soft_light), "46ccefb5b9a37909e9818d2bbe98f78e430e846a7273a64d2aa4f286f09d453d"},
      {"vivid_light", Digest8(t.vivid_light), "4938cb29207a7c1ca4a6aaf6f179c29ce12c923dcc7fb1681d1d9ce4598d64e8"},
      {"linear_light", Digest8(t.linear_light), "00f48de22eeecf28934d52bcead24b34875991b5e6380eb2b17b5cae75287372"},
      {"pin_light", Digest8(t.pin_light), "9e60fca1747dbfa3cd4aa4ae2e165a841f1e8cb7ccd208be96de3a5a45bcde5c"},
      {"maximum", Digest8(t.maximum), "435068531dbb0dd6fdc5a437b74e5873368d54952a0a151c263da7ed5377c347"},
      {"minimum", Digest8(t.minimum), "a5d76f566dffc7be241cc55d80478e845c1aa0e73c58c8c27d9d5a252bb559e0"},
      {"reciprocal", Digest16(t.reciprocal), "57457012cbb43b287168fb9bff0561e1eb8cae8427cdae0ee32e756c733acd0a"},
      {"rounded_product", Digest16(t.rounded_product), "627cae58c7ec84e568677ac420da86f8234178fcc7637a5ffe7637415d5d102f"},
      {"alpha_product", Digest16(t.alpha_product), "61b3e6100445317335007f74d68cd6d5e78174f8f30a0a6dd73de53ade6c78bc"},
  };
}

TEST(BlendTables, DigestsMatchTheScript) {
  for (const DigestCase& c : Digests()) EXPECT_EQ(c.got, c.want) << c.name;
}

// The script itself still prints those digests (it is the reference written from the formulas).
TEST(BlendTables, ScriptPrintsTheSameDigests) {
  KORVEL_REQUIRE_TOOL(std::system("python3 -c 1 > /dev/null 2>&1") == 0, "python3");
  const std::string cmd =
      std::string("python3 ") + KORVEL_SOURCE_DIR + "/tests/pixel/tools/blend_table_sha256.py";
  FILE* pipe = popen(cmd.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::map<std::string, std::string> printed;
  char name[64];
  char hex[80];
  while (std::fscanf(pipe, "%63s %79s", name, hex) == 2) printed[name] = hex;
  ASSERT_EQ(pclose(pipe), 0);
  for (const DigestCase& c : Digests()) EXPECT_EQ(printed[c.name], c.want) << c.name;
}

TEST(BlendTables, SpotValues) {
  const BlendLookupTables& t = GetBlendTables();
  EXPECT_EQ(t.overlay[0 * 256 + 255], 253);        // 2·255 − 257 + 0
  EXPECT_EQ(t.screen[255 * 256 + 0], 255);
  EXPECT_EQ(t.multiply[128 * 256 + 128], 64);     // 16384 / 255
  EXPECT_EQ(t.divide[10 * 256 + 0], 255);         // d = 0, s > 0
  EXPECT_EQ(t.divide[0 * 256 + 0], 0);
  EXPECT_EQ(t.colour_burn[0 * 256 + 0], 0);
  EXPECT_EQ(t.vivid_light[255 * 256 + 3], 255);
  EXPECT_EQ(t.vivid_light[0 * 256 + 200], 0);
  EXPECT_EQ(t.saturating_add[300], 255);
  EXPECT_EQ(t.floor_subtract[255 + 10], 10);
  EXPECT_EQ(t.floor_subtract[255 - 10], 0);
  EXPECT_EQ(t.reciprocal[127 * 256 + 255], 514);  // floor(256·255 / 127)
  EXPECT_EQ(t.reciprocal[0 * 256 + 200], 0);
  EXPECT_EQ(t.rounded_product[200 * 512 + 255 - 3], -2);  // trunc(−600 / 256)
  EXPECT_EQ(t.alpha_product[128 * 512 + 255 + 255], 128);
  EXPECT_EQ(t.alpha_product[255 * 512 + 0], -255);
}

TEST(BlendModes, EdgeCasesOfTheFormulas) {
  for (int s = 0; s < 256; ++s) {
    EXPECT_EQ(BlendModeFormula(kBlendSubtract, s, 255), 0);  // minus a white destination
    EXPECT_EQ(BlendModeFormula(kBlendDivide, s, 0), s > 0 ? 255 : 0);
    EXPECT_EQ(BlendModeFormula(kBlendOverlay, s, 128), s);
    EXPECT_EQ(BlendModeFormula(kBlendHardLight, 128, s), s);
  }
  // A mode outside 0..18 is normal.
  EXPECT_EQ(BlendModeFormula(19, 12, 200), 12);
  EXPECT_EQ(BlendModeFormula(-1, 12, 200), 12);
  // The formula tables of the generic kernels agree with the lookup tables.
  const BlendLookupTables& t = GetBlendTables();
  EXPECT_EQ(std::memcmp(BlendFormulaTable(kBlendSoftLight), t.soft_light, 65536), 0);
  EXPECT_EQ(std::memcmp(BlendFormulaTable(kBlendLighten), t.maximum, 65536), 0);
  EXPECT_EQ(BlendFormulaTable(99), BlendFormulaTable(kBlendNormal));
  for (int s = 0; s < 256; ++s) {
    for (int d = 0; d < 256; ++d) {
      ASSERT_EQ(BlendFormulaTable(kBlendAdd)[s * 256 + d], t.saturating_add[s + d]);
      ASSERT_EQ(BlendFormulaTable(kBlendSubtract)[s * 256 + d], t.floor_subtract[s - d + 255]);
    }
  }
}

}  // namespace
}  // namespace korvel
