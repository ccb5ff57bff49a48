// The PNG decoder: ImageMagick's PNGs of every colour type and depth (chunks excluded) against
// their sources, hand-made transparency and gamma chunks, and damaged files that must fail
// through libpng's error path without ending the process.
#include "image/png_decode.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "image_test_support.h"

namespace korvel {
namespace {

using test::ScopedImage;

struct Case {
  const char* file;
  const char* expected;
  uint8_t alpha;
  int tolerance;
};

TEST(PngDecode, EveryColourTypeAndDepthMatchesItsSource) {
  const Case cases[] = {
      {"png_g1.png", "src_grey1.pgm", 0, 0},
      {"png_g2.png", "src_grey2.pgm", 0, 0},
      {"png_g4.png", "src_grey4.pgm", 0, 0},
      {"png_g8.png", "src_grey.pgm", 0, 0},
      // 16-bit samples are stripped to their high byte.
      {"png_g16.png", "src_grey16.pgm", 0, 0},
      {"png_rgb8.png", "src_rgb.ppm", 0, 0},
      {"png_rgb16.png", "src_rgb16.ppm", 0, 0},
      {"png_p1.png", "src_p2.ppm", 0, 0},
      {"png_p2.png", "src_p4.ppm", 0, 0},
      {"png_p4.png", "src_p16.ppm", 0, 0},
      {"png_p8.png", "src_rgb.ppm", 0, 0},
      {"png_ga8.png", "src_ga.pam", 1, 0},
      {"png_ga16.png", "src_ga16.pam", 1, 0},
      {"png_rgba8.png", "src_rgba.pam", 1, 0},
      {"png_rgba16.png", "src_rgba16.pam", 1, 0},
      {"png_rgba8_interlaced.png", "src_rgba.pam", 1, 0},
      // A palette, grey or colour file with a transparency chunk carries alpha.
      {"png_p4_trns.png", "ref_png_p4_trns.pam", 1, 0},
      {"png_g8_trns.png", "ref_png_g8_trns.pam", 1, 0},
      {"png_rgb8_trns.png", "ref_png_rgb8_trns.pam", 1, 0},
      // A file gamma of 1.0 on a 2.2 screen (libpng's tables round on their own).
      {"png_g8_gamma.png", "ref_png_g8_gamma.pam", 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ScopedImage image;
    const DecodeStatus status =
        DecodePngBytes(test::ReadImageFixture(c.file), kDefaultImageLimits, image.get());
    ASSERT_EQ(status.result, 0) << status.error;
    EXPECT_EQ(image->has_alpha, c.alpha);
    EXPECT_TRUE(test::SamePixels(image.image, test::ReadExpectedImage(c.expected), c.tolerance));
    EXPECT_TRUE(test::SpareRowIsZero(image.image));
  }
}

uint32_t Crc(const std::vector<uint8_t>& file, size_t start, size_t length) {
  return static_cast<uint32_t>(crc32(0, file.data() + start, static_cast<uInt>(length)));
}

// Rewrites the IHDR's width and height (and its checksum).
std::vector<uint8_t> WithSize(std::vector<uint8_t> file, uint32_t width, uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    file[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    file[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  const uint32_t crc = Crc(file, 12, 17);
  for (int i = 0; i < 4; ++i) file[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return file;
}

// The file with a suggested-palette chunk inserted after IHDR whose length field says `length`
// while only a few bytes follow.
std::vector<uint8_t> ChunkOfLength(const std::vector<uint8_t>& png, uint32_t length) {
  std::vector<uint8_t> chunk = {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                                static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length),
                                's', 'P', 'L', 'T'};
  chunk.resize(chunk.size() + 64, 's');
  std::vector<uint8_t> out = png;
  out.insert(out.begin() + 33, chunk.begin(), chunk.end());  // after the signature and IHDR
  return out;
}

TEST(PngDecode, DamagedFilesFailWithoutEndingTheProcess) {
  const std::vector<uint8_t> good = test::ReadImageFixture("png_rgb8.png");
  const std::vector<uint8_t> bad_signature = test::Patched(good, 1, 'Q');
  const std::vector<uint8_t> bad_crc = test::Flipped(good, 30, 0xFF);  // IHDR's checksum
  // Inside the IDAT stream.
  const std::vector<uint8_t> bad_data = test::Flipped(good, good.size() - 20, 0x5A);
  struct Failure {
    const char* what;
    std::vector<uint8_t> file;
    int32_t error;
  };
  const Failure cases[] = {
      {"empty", {}, 0},
      {"signature only", std::vector<uint8_t>(good.begin(), good.begin() + 8), 0},
      {"cut inside IHDR", std::vector<uint8_t>(good.begin(), good.begin() + 20), 0},
      {"cut inside IDAT", std::vector<uint8_t>(good.begin(), good.end() - 30), 0},
      {"cut before IEND", std::vector<uint8_t>(good.begin(), good.end() - 12), 0},
      {"bad signature", bad_signature, 0},
      {"bad header checksum", bad_crc, 0},
      {"damaged image data", bad_data, 0},
      {"width 8193", WithSize(good, 8193, 5), kErrorImageTooLarge},
      {"height 100000", WithSize(good, 7, 100000), kErrorImageTooLarge},
      {"width 0", WithSize(good, 0, 5), 0},
      // An ancillary chunk whose length field says 1.9 GB: refused without reading it into memory.
      {"chunk length past the file", ChunkOfLength(good, 0x73737373u), 0},
  };
  for (const Failure& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedImage image;
    const DecodeStatus status = DecodePngBytes(c.file, kDefaultImageLimits, image.get());
    EXPECT_EQ(status.result, -1);
    EXPECT_EQ(status.error, c.error);
    EXPECT_EQ(image->pixels, nullptr);
  }
}

TEST(PngDecode, Width8192IsAccepted) {
  // A grey 8192 x 1 image, written by hand: one filter byte and 8192 zero samples.
  std::vector<uint8_t> raw(8193, 0);
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_size);
  ASSERT_EQ(compress(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size())),
            Z_OK);
  packed.resize(packed_size);
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&file](const char* type, const std::vector<uint8_t>& body) {
    const uint32_t n = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(n >> (24 - 8 * i)));
    const size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), body.begin(), body.end());
    const uint32_t crc = Crc(file, start, body.size() + 4);
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(crc >> (24 - 8 * i)));
  };
  chunk("IHDR", {0, 0, 0x20, 0, 0, 0, 0, 1, 8, 0, 0, 0, 0});
  chunk("IDAT", packed);
  chunk("IEND", {});
  ScopedImage image;
  ASSERT_EQ(DecodePngBytes(file, kDefaultImageLimits, image.get()).result, 0);
  EXPECT_EQ(image->width, 8192);
  EXPECT_EQ(image->height, 1);
  EXPECT_EQ(image->pixels[8191 * 4 + 3], 255);
}

}  // namespace
}  // namespace korvel
