// The decoders' common record: a decoded image in the engine's pixel layout, the size limits every
// decoder applies, and what a decode came to (the error to report, a message to show).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/byte_reader.h"

namespace korvel {

struct GifFrameTable;

inline constexpr int32_t kMaxImageSide = 8192;
// The colour every fully transparent pixel becomes after a load.
inline constexpr uint32_t kTransparentColour = 0x00808080u;

// Error codes the decoders hand back for the caller to report (fatal, with the file's name).
enum : int32_t {
  kErrorNoMemory = 100010,
  kErrorUnknownImageType = 100030,
  kErrorBmpNotBmp = 100070,
  kErrorBmpPixelOffset = 100080,
  kErrorBmpUnsupported = 100090,
  kErrorImageTooLarge = 100091,
  kErrorBmpTopDown = 100092,
  kErrorPngStructures = 100200,
  kErrorJpegFailed = 100210,
  kErrorGifFailed = 100215,
  kErrorPsdRefused = 100220,
  kErrorLoadNoMemory = 104030,
};

// Sides above max_side are refused; so is an image of more than max_pixels pixels (only lowered by
// tests and fuzzing to keep allocations small).
struct ImageLimits {
  int32_t max_side = kMaxImageSide;
  uint64_t max_pixels = uint64_t{kMaxImageSide} * kMaxImageSide;
};
inline constexpr ImageLimits kDefaultImageLimits{};

// A decoded image. `pixels` is a heap block (FreeBlock) of PixelBufferBytes(width, height) bytes:
// rows top-down, pitch width * 4, each pixel blue, green, red, alpha, then one spare zero row and
// four spare zero bytes. GIF files also hand over every frame.
struct DecodedImage {
  int32_t width = 0;
  int32_t height = 0;
  uint8_t* pixels = nullptr;
  uint8_t has_alpha = 0;
  GifFrameTable* frames = nullptr;
};

// What a decode came to. On failure `error` is the code to report (0: the decoder reports
// nothing) and `message` a text for a message box with an empty caption (null: none). A KCG file
// with a wrong magic still decodes; `magic_mismatch` asks for its "File Check Error." box.
struct DecodeStatus {
  int32_t result = 0;  // 0 decoded, -1 refused
  int32_t error = 0;
  const char* message = nullptr;
  bool magic_mismatch = false;
};

inline DecodeStatus DecodeOk() { return DecodeStatus{}; }
inline DecodeStatus DecodeFail(int32_t error, const char* message = nullptr) {
  DecodeStatus status;
  status.result = -1;
  status.error = error;
  status.message = message;
  return status;
}

// width * 4 * (height + 1) + 4, or 0 when a side is negative or the size overflows.
size_t PixelBufferBytes(int32_t width, int32_t height);

// Checks both sides against the limits: 0 when they are 1..max_side and the area fits, else
// kErrorImageTooLarge.
int32_t CheckImageSides(int64_t width, int64_t height, const ImageLimits& limits);

// Allocates the pixel buffer of `image` for its width and height; the image rows are left
// unwritten, the spare row and bytes are zero. False when memory runs out.
bool AllocDecodedPixels(DecodedImage* image, int32_t width, int32_t height);

// Frees the pixels and the frame table and clears the record.
void FreeDecodedImage(DecodedImage* image);

// Every pixel of the width x height area whose alpha byte is 0 becomes kTransparentColour.
void ApplyTransparentColourToPixels(uint8_t* pixels, int32_t width, int32_t height);

// A big-endian read at an offset the caller has checked (little-endian ones are in byte_reader.h).
inline uint32_t LoadU32BE(const uint8_t* p) {
  return static_cast<uint32_t>(p[3]) | static_cast<uint32_t>(p[2]) << 8 |
         static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[0]) << 24;
}

// True when `count` bytes from `offset` lie inside a file of `size` bytes.
inline bool FileHolds(size_t size, uint64_t offset, uint64_t count) {
  return offset <= size && count <= size - offset;
}

}  // namespace korvel
