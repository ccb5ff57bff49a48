// The JPEG decoder: cjpeg's files against djpeg's output of the same library (exact), CMYK and
// YCCK refused, and damaged or truncated files that fail through the error exit.
#include "image/jpeg_decode.h"

#include <gtest/gtest.h>

#include <vector>

#include "image_test_support.h"

namespace korvel {
namespace {

using test::ScopedImage;

TEST(JpegDecode, CjpegFilesMatchDjpegExactly) {
  struct Case {
    const char* file;
    const char* expected;
  };
  const Case cases[] = {
      {"jpeg_baseline.jpg", "ref_jpeg_baseline.ppm"},
      {"jpeg_444.jpg", "ref_jpeg_444.ppm"},
      {"jpeg_grey.jpg", "ref_jpeg_grey.pgm"},
      {"jpeg_progressive.jpg", "ref_jpeg_progressive.ppm"},
      {"jpeg_restart.jpg", "ref_jpeg_restart.ppm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ScopedImage image;
    const DecodeStatus status =
        DecodeJpegBytes(test::ReadImageFixture(c.file), kDefaultImageLimits, image.get());
    ASSERT_EQ(status.result, 0);
    EXPECT_EQ(image->has_alpha, 0);
    EXPECT_TRUE(test::SamePixels(image.image, test::ReadExpectedImage(c.expected)));
    EXPECT_TRUE(test::SpareRowIsZero(image.image));
  }
}

TEST(JpegDecode, RefusedAndDamagedFilesFailThroughTheErrorExit) {
  const std::vector<uint8_t> good = test::ReadImageFixture("jpeg_baseline.jpg");
  const std::vector<uint8_t> progressive = test::ReadImageFixture("jpeg_progressive.jpg");
  const std::vector<uint8_t> no_soi = test::Patched(good, 1, 0x00);
  std::vector<uint8_t> huge = good;
  // The SOF0 frame header: FF C0, length, precision, height, width.
  for (size_t i = 0; i + 9 < huge.size(); ++i) {
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 7] = 0x20;  // width 8193
      huge[i + 8] = 0x01;
      break;
    }
  }
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    int32_t error;
  };
  const Case cases[] = {
      {"CMYK", test::ReadImageFixture("jpeg_cmyk.jpg"), 0},
      {"YCCK", test::ReadImageFixture("jpeg_ycck.jpg"), 0},
      {"empty", {}, 0},
      {"no start marker", no_soi, 0},
      {"cut inside the headers", std::vector<uint8_t>(good.begin(), good.begin() + 100), 0},
      {"cut inside the scan", std::vector<uint8_t>(good.begin(), good.end() - 200), 0},
      {"cut before the end marker", std::vector<uint8_t>(good.begin(), good.end() - 2), 0},
      {"progressive cut between scans",
       std::vector<uint8_t>(progressive.begin(), progressive.end() - 300), 0},
      {"width 8193", huge, kErrorImageTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedImage image;
    const DecodeStatus status = DecodeJpegBytes(c.file, kDefaultImageLimits, image.get());
    EXPECT_EQ(status.result, -1);
    EXPECT_EQ(status.error, c.error);
    EXPECT_EQ(image->pixels, nullptr);
  }
}

TEST(JpegDecode, ASkipPastTheEndIsAnErrorNotAnOverread) {
  // An APP1 marker whose length runs past the end of the file: skipping it must not move the
  // source beyond its data.
  std::vector<uint8_t> file = {0xFF, 0xD8, 0xFF, 0xE1, 0x7F, 0xFF, 'x', 'y'};
  ScopedImage image;
  EXPECT_EQ(DecodeJpegBytes(file, kDefaultImageLimits, image.get()).result, -1);
}

}  // namespace
}  // namespace korvel
