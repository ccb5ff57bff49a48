// The frames of a GIF file: every image of the file in file order, with its place on the logical
// screen, its graphic control settings, its colour table and its colour indices.
#pragma once

#include <cstdint>
#include <vector>

namespace korvel {

inline constexpr int32_t kGifMaxFrames = 8192;

struct GifFrame {
  // Place and size on the logical screen, clipped to it (width or height 0 when the frame lies
  // outside the screen).
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  // The image descriptor's side as the file gives it, before clipping.
  int32_t declared_width = 0;
  int32_t declared_height = 0;
  uint8_t flags = 0;  // image descriptor flags: 0x40 interlaced, 0x80 local colour table
  // The graphic control block right before this image, if any.
  uint8_t disposal = 0;  // disposal method (bits 2..4 of its flags)
  uint8_t has_transparency = 0;
  uint8_t transparent_index = 0;
  uint16_t delay = 0;  // hundredths of a second
  uint8_t colours[256][4] = {};  // blue, green, red, 255; entries beyond the table are black
  // width * height colour indices, rows top-down; parts the data did not reach are 0.
  std::vector<uint8_t> indices;
};

// A GIF layer's frames. The layer keeps the table for later frames; the first frame is what the
// layer's pixels show.
struct GifFrameTable {
  int32_t screen_width = 0;
  int32_t screen_height = 0;
  std::vector<GifFrame> frames;
};

GifFrameTable* NewGifFrameTable();
// Frees the table and its frames; null does nothing.
void DestroyGifFrameTable(GifFrameTable* table);

}  // namespace korvel
