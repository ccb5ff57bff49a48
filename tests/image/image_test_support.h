// Helpers of the image decoder tests: fixture files, the netpbm files that hold expected pixels,
// and a comparison that names the first differing pixel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_decode.h"

namespace korvel::test {

std::vector<uint8_t> ReadImageFixture(const std::string& name);

// Pixels of a PGM, PPM or PAM fixture as blue, green, red, alpha bytes (alpha 255 when the file
// has none); 16-bit samples keep their high byte.
struct ExpectedImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bgra;
};
ExpectedImage ReadExpectedImage(const std::string& name);

// Sets every alpha byte to 255.
ExpectedImage Opaque(ExpectedImage image);

// The decoded image's pixel rows against the expected pixels, with a tolerance per channel.
::testing::AssertionResult SamePixels(const DecodedImage& image, const ExpectedImage& expected,
                                      int tolerance = 0);

// A decoded image that frees itself.
struct ScopedImage {
  DecodedImage image;
  ScopedImage() = default;
  ScopedImage(const ScopedImage&) = delete;
  ScopedImage& operator=(const ScopedImage&) = delete;
  ~ScopedImage() { FreeDecodedImage(&image); }
  DecodedImage* operator->() { return &image; }
  DecodedImage* get() { return &image; }
};

// A copy of `file` with the byte at `at` replaced by `value` (xor-ed with `flip`); out-of-range
// positions change nothing.
std::vector<uint8_t> Patched(std::vector<uint8_t> file, size_t at, uint8_t value);
std::vector<uint8_t> Flipped(std::vector<uint8_t> file, size_t at, uint8_t flip);

// The spare row and four bytes behind the image are zero.
bool SpareRowIsZero(const DecodedImage& image);

}  // namespace korvel::test
