// The kcgpack program on PNG files (fixtures made by a standard encoder, and the sample game's
// background): the KCG it writes decodes to the PNG's pixels, opaque where the PNG has no alpha.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/image_decode.h"
#include "image/kcg_decode.h"
#include "image/png_decode.h"
#include "param_names.h"
#include "test_support.h"

namespace korvel {
namespace {

using test::PrintTo;

struct KcgPackCase {
  const char* name;
  const char* source;  // from the source tree
  bool source_has_alpha;
};

const KcgPackCase kCases[] = {
    {"RgbStaysOpaque", "tests/fixtures/images/png_rgb8.png", false},
    {"GreyStaysOpaque", "tests/fixtures/images/png_g8.png", false},
    {"RgbaKeepsItsAlpha", "tests/fixtures/images/png_rgba8.png", true},
    {"SampleBackgroundStaysOpaque", "samples/sample-game/media/bg.png", false},
};

std::span<const uint8_t> Span(const std::string& bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

class KcgPackTest : public ::testing::TestWithParam<KcgPackCase> {};

TEST_P(KcgPackTest, WritesThePixelsOfTheSource) {
  const KcgPackCase& c = GetParam();
  const std::string source = std::string(KORVEL_SOURCE_DIR) + "/" + c.source;
  test::TempDir dir;
  const std::string out = dir.File("out.kcg");
  const test::ProcessResult r =
      test::RunProcess({std::string(KORVEL_BUILD_DIR) + "/kcgpack", source, out}, {}, 60000);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;

  const std::string png_bytes = test::ReadFile(source);
  const std::string kcg_bytes = test::ReadFile(out);
  DecodedImage png;
  DecodedImage kcg;
  ASSERT_EQ(DecodePngBytes(Span(png_bytes), kDefaultImageLimits, &png).result, 0);
  ASSERT_EQ(DecodeKcgBytes(Span(kcg_bytes), kDefaultImageLimits, nullptr, &kcg).result, 0);
  EXPECT_EQ(png.has_alpha != 0, c.source_has_alpha);
  EXPECT_NE(kcg.has_alpha, 0);
  ASSERT_EQ(kcg.width, png.width);
  ASSERT_EQ(kcg.height, png.height);
  const size_t count = static_cast<size_t>(png.width) * static_cast<size_t>(png.height);
  size_t wrong_colour = 0;
  size_t wrong_alpha = 0;
  for (size_t i = 0; i < count; ++i) {
    for (size_t k = 0; k < 3; ++k) wrong_colour += kcg.pixels[i * 4 + k] != png.pixels[i * 4 + k];
    const uint8_t alpha = c.source_has_alpha ? png.pixels[i * 4 + 3] : 0xFF;
    wrong_alpha += kcg.pixels[i * 4 + 3] != alpha;
  }
  EXPECT_EQ(wrong_colour, 0u);
  EXPECT_EQ(wrong_alpha, 0u);
  FreeDecodedImage(&png);
  FreeDecodedImage(&kcg);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, KcgPackTest, ::testing::ValuesIn(kCases),
                         test::CaseName());

}  // namespace
}  // namespace korvel
