// The BMP decoder: ImageMagick's bitmaps of every supported depth and header against their
// source pixels, and a refusal for every malformed or unsupported layout.
#include "image/bmp_decode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "image_test_support.h"

namespace korvel {
namespace {

using test::ScopedImage;

struct FixtureCase {
  const char* file;
  const char* source;
  bool alpha;
};

TEST(BmpDecode, ImageMagickFilesMatchTheirSource) {
  const FixtureCase cases[] = {
      {"bmp3_1bit.bmp", "src_p2.ppm", false},   {"bmp3_4bit.bmp", "src_p16.ppm", false},
      {"bmp3_8bit.bmp", "src_rgb.ppm", false},  {"bmp3_24bit.bmp", "src_rgb.ppm", false},
      {"bmp3_32bit.bmp", "src_rgba.pam", true}, {"bmp5_24bit.bmp", "src_rgb.ppm", false},
      {"bmp5_8bit.bmp", "src_rgb.ppm", false},  {"bmp5_32bit.bmp", "src_rgba.pam", true},
  };
  for (const FixtureCase& c : cases) {
    SCOPED_TRACE(c.file);
    ScopedImage image;
    const DecodeStatus status =
        DecodeBmpBytes(test::ReadImageFixture(c.file), kDefaultImageLimits, image.get());
    ASSERT_EQ(status.result, 0) << status.error;
    EXPECT_EQ(image->has_alpha, c.alpha ? 1 : 0);
    EXPECT_TRUE(test::SamePixels(image.image, test::ReadExpectedImage(c.source)));
    EXPECT_TRUE(test::SpareRowIsZero(image.image));
  }
}

// A bottom-up bitmap with a 40-byte header, built by hand.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, uint16_t bits,
                             const std::vector<uint8_t>& palette,
                             const std::vector<uint8_t>& rows, uint32_t compression = 0) {
  const size_t size = 54 + palette.size() + rows.size();
  std::vector<uint8_t> file(size, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
  };
  file.at(0) = 'B';
  file.at(1) = 'M';
  put32(2, static_cast<uint32_t>(size));
  put32(10, static_cast<uint32_t>(54 + palette.size()));
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file.at(26) = 1;
  file.at(28) = static_cast<uint8_t>(bits);
  put32(30, compression);
  put32(46, static_cast<uint32_t>(palette.size() / 4));
  std::copy(palette.begin(), palette.end(), file.begin() + 54);
  std::copy(rows.begin(), rows.end(), file.begin() + 54 + static_cast<ptrdiff_t>(palette.size()));
  return file;
}

TEST(BmpDecode, TwentyFourBitRowsArePaddedAndStoredBottomUp) {
  // 3 x 2 pixels: each row is 9 bytes of pixels and 3 of padding.
  const std::vector<uint8_t> rows = {
      // bottom row
      1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE,
      // top row
      10, 11, 12, 13, 14, 15, 16, 17, 18, 0xEE, 0xEE, 0xEE};
  ScopedImage image;
  ASSERT_EQ(DecodeBmpBytes(MakeBmp(3, 2, 24, {}, rows), kDefaultImageLimits, image.get()).result,
            0);
  const uint8_t expected[] = {10, 11, 12, 255, 13, 14, 15, 255, 16, 17, 18, 255,
                              1,  2,  3,  255, 4,  5,  6,  255, 7,  8,  9,  255};
  EXPECT_EQ(std::memcmp(image->pixels, expected, sizeof expected), 0);
  EXPECT_EQ(image->has_alpha, 0);
}

TEST(BmpDecode, PaletteEntriesBeyondTheFilesCountAreOpaqueBlack) {
  // A 4-bit image whose palette has 2 entries; index 5 has none.
  const std::vector<uint8_t> palette = {10, 20, 30, 0, 40, 50, 60, 0};
  const std::vector<uint8_t> rows = {0x15, 0, 0, 0};
  ScopedImage image;
  ASSERT_EQ(
      DecodeBmpBytes(MakeBmp(2, 1, 4, palette, rows), kDefaultImageLimits, image.get()).result,
      0);
  const uint8_t expected[] = {40, 50, 60, 255, 0, 0, 0, 255};
  EXPECT_EQ(std::memcmp(image->pixels, expected, sizeof expected), 0);
}

struct RefusalCase {
  const char* what;
  std::function<std::vector<uint8_t>()> make;
  int32_t error;
};

TEST(BmpDecode, MalformedAndUnsupportedFilesAreRefused) {
  const std::vector<uint8_t> good24 = MakeBmp(3, 2, 24, {}, std::vector<uint8_t>(24, 7));
  auto patched = [good24](size_t at, std::vector<uint8_t> bytes) {
    return [=]() {
      std::vector<uint8_t> file = good24;
      for (size_t i = 0; i < bytes.size(); ++i) file = test::Patched(file, at + i, bytes[i]);
      return file;
    };
  };
  const RefusalCase cases[] = {
      {"no BM", patched(0, {'M', 'B'}), kErrorBmpNotBmp},
      {"empty", [] { return std::vector<uint8_t>(); }, kErrorBmpNotBmp},
      {"only the signature", [] { return std::vector<uint8_t>{'B', 'M'}; }, kErrorBmpNotBmp},
      {"header size beyond the file", patched(14, {0xFF, 0xFF, 0, 0}), kErrorBmpNotBmp},
      {"core header of 12 bytes", patched(14, {12, 0, 0, 0}), kErrorBmpNotBmp},
      {"pixel offset below 11", patched(10, {10, 0, 0, 0}), kErrorBmpPixelOffset},
      {"rows beyond the file", [good24] {
         return std::vector<uint8_t>(good24.begin(), good24.end() - 1);
       }, kErrorBmpPixelOffset},
      {"pixel offset beyond the file", patched(10, {0, 0, 0, 0x80}), kErrorBmpPixelOffset},
      {"RLE palette image", [] {
         return MakeBmp(2, 1, 8, std::vector<uint8_t>(8, 1), {0, 0, 0, 0}, 1);
       }, kErrorBmpUnsupported},
      {"compressed 24-bit", patched(30, {1, 0, 0, 0}), kErrorBmpUnsupported},
      {"16 bits", patched(28, {16, 0}), kErrorBmpUnsupported},
      {"0 bits", patched(28, {0, 0}), kErrorBmpUnsupported},
      {"32 bits with red and blue swapped", [] {
         std::vector<uint8_t> masks = {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0};
         return MakeBmp(1, 1, 32, masks, {1, 2, 3, 4}, 3);
       }, kErrorBmpUnsupported},
      {"palette beyond the file", [] {
         // Colours used: 200 entries, most of them past the end.
         return test::Patched(MakeBmp(1, 1, 8, std::vector<uint8_t>(8, 1), {0, 0, 0, 0}), 46, 200);
       }, kErrorBmpNotBmp},
      {"negative width", patched(18, {0xFD, 0xFF, 0xFF, 0xFF}), kErrorImageTooLarge},
      {"zero width", patched(18, {0, 0, 0, 0}), kErrorImageTooLarge},
      {"zero height", patched(22, {0, 0, 0, 0}), kErrorImageTooLarge},
      {"width 8193", patched(18, {0x01, 0x20, 0, 0}), kErrorImageTooLarge},
      {"top-down", patched(22, {0xFE, 0xFF, 0xFF, 0xFF}), kErrorBmpTopDown},
      {"RLE from ImageMagick", [] { return test::ReadImageFixture("bmp3_rle8.bmp"); },
       kErrorBmpUnsupported},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedImage image;
    const DecodeStatus status = DecodeBmpBytes(c.make(), kDefaultImageLimits, image.get());
    EXPECT_EQ(status.result, -1);
    EXPECT_EQ(status.error, c.error);
    EXPECT_EQ(image->pixels, nullptr);
  }
}

TEST(BmpDecode, ThirtyTwoBitMasksWithoutAlphaGiveOpaquePixels) {
  // BI_BITFIELDS behind a 40-byte header: three masks, so no alpha.
  std::vector<uint8_t> masks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
  ScopedImage image;
  ASSERT_EQ(DecodeBmpBytes(MakeBmp(1, 1, 32, masks, {1, 2, 3, 0}, 3), kDefaultImageLimits,
                           image.get())
                .result,
            0);
  const uint8_t expected[] = {1, 2, 3, 255};
  EXPECT_EQ(std::memcmp(image->pixels, expected, 4), 0);
  EXPECT_EQ(image->has_alpha, 0);
}

}  // namespace
}  // namespace korvel
