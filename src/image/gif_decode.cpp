// The GIF decoder.
#include "image/gif_decode.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "image/gif_frames.h"
#include "image/gif_lzw.h"

namespace korvel {

namespace {

constexpr uint8_t kImageBlock = 0x2C;
constexpr uint8_t kExtensionBlock = 0x21;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr size_t kScreenDescriptorEnd = 13;
constexpr size_t kImageDescriptorSize = 9;

struct GraphicControl {
  bool present = false;
  uint8_t disposal = 0;
  bool transparent = false;
  uint8_t index = 0;
  uint16_t delay = 0;
};

void ReadColourTable(const uint8_t* p, int32_t count, uint8_t (*colours)[4]) {
  for (int32_t i = 0; i < 256; ++i) {
    colours[i][0] = colours[i][1] = colours[i][2] = 0;
    colours[i][3] = 0xFF;
  }
  for (int32_t i = 0; i < count; ++i) {
    colours[i][0] = p[i * 3 + 2];
    colours[i][1] = p[i * 3 + 1];
    colours[i][2] = p[i * 3];
  }
}

// Visits the rows of an image in the order its data holds them; `visit` returns false to stop.
template <typename Visit>
void ForEachStoredRow(int32_t height, bool interlaced, Visit visit) {
  if (!interlaced) {
    for (int32_t row = 0; row < height; ++row) {
      if (!visit(row)) return;
    }
    return;
  }
  static constexpr int32_t kPassStart[4] = {0, 4, 2, 1};
  static constexpr int32_t kPassStep[4] = {8, 8, 4, 2};
  for (int32_t pass = 0; pass < 4; ++pass) {
    for (int32_t row = kPassStart[pass]; row < height; row += kPassStep[pass]) {
      if (!visit(row)) return;
    }
  }
}

// Decodes the image data behind a descriptor into the frame's clipped indices. Returns false when
// the file ended inside the data.
bool DecodeFrameData(const uint8_t* data, size_t size, size_t* position, int32_t min_code_size,
                     GifFrame* frame, GifLzwDecoder* lzw) {
  GifSubBlockReader reader;
  StartGifSubBlocks(&reader, data, size, *position);
  if (frame->width > 0 && frame->height > 0 && StartGifLzw(lzw, min_code_size)) {
    std::vector<uint8_t> row_buffer(static_cast<size_t>(frame->declared_width));
    int32_t rows_left = frame->height;
    const auto stored_width = static_cast<size_t>(frame->width);
    ForEachStoredRow(frame->declared_height, (frame->flags & 0x40) != 0, [&](int32_t row) {
      const size_t got = ReadGifLzw(lzw, &reader, row_buffer.data(), row_buffer.size());
      if (row < frame->height) {
        std::memcpy(frame->indices.data() + static_cast<size_t>(row) * stored_width,
                    row_buffer.data(), std::min(got, stored_width));
        --rows_left;
      }
      return got == row_buffer.size() && rows_left > 0;
    });
  }
  const bool whole = SkipGifSubBlocks(&reader);
  *position = reader.position;
  return whole;
}

// Draws the first frame onto the screen-sized pixels (which start transparent black).
void DrawFirstFrame(const GifFrame& frame, DecodedImage* image) {
  const size_t pitch = static_cast<size_t>(image->width) * 4;
  std::memset(image->pixels, 0, pitch * static_cast<size_t>(image->height));
  for (int32_t y = 0; y < frame.height; ++y) {
    const uint8_t* indices = frame.indices.data() + static_cast<size_t>(y) * frame.width;
    uint8_t* target = image->pixels + static_cast<size_t>(frame.top + y) * pitch +
                      static_cast<size_t>(frame.left) * 4;
    for (int32_t x = 0; x < frame.width; ++x) {
      const uint8_t index = indices[x];
      if (frame.has_transparency && index == frame.transparent_index) continue;
      std::memcpy(target + static_cast<size_t>(x) * 4, frame.colours[index], 4);
    }
  }
  const bool covers = frame.left == 0 && frame.top == 0 && frame.width == image->width &&
                      frame.height == image->height;
  image->has_alpha = frame.has_transparency || !covers ? 1 : 0;
}

}  // namespace

DecodeStatus DecodeGifBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                            DecodedImage* out) {
  const uint8_t* data = file.data();
  const size_t size = file.size();
  if (size < kScreenDescriptorEnd || std::memcmp(data, "GIF", 3) != 0) return DecodeFail(0);
  const int32_t screen_width = LoadU16(data + 6);
  const int32_t screen_height = LoadU16(data + 8);
  if (const int32_t error = CheckImageSides(screen_width, screen_height, limits)) {
    return DecodeFail(error);
  }
  const uint8_t screen_flags = data[10];
  size_t position = kScreenDescriptorEnd;
  uint8_t global_colours[256][4];
  int32_t global_count = 0;
  if (screen_flags & 0x80) {
    global_count = 1 << ((screen_flags & 7) + 1);
    if (!FileHolds(size, position, size_t(global_count) * 3)) return DecodeFail(0);
  }
  ReadColourTable(data + position, global_count, global_colours);
  position += size_t(global_count) * 3;

  std::unique_ptr<GifFrameTable, void (*)(GifFrameTable*)> table(NewGifFrameTable(),
                                                                 DestroyGifFrameTable);
  std::unique_ptr<GifLzwDecoder> lzw(new (std::nothrow) GifLzwDecoder());
  if (table == nullptr || lzw == nullptr) return DecodeFail(kErrorNoMemory);
  table->screen_width = screen_width;
  table->screen_height = screen_height;
  // Colour indices of all frames together stay within this many bytes.
  const uint64_t index_budget = limits.max_pixels * 8;
  uint64_t index_bytes = 0;
  GraphicControl control;

  // A truncated file, an unknown block or a frame over the limits ends the walk.
  while (position < size) {
    const uint8_t block = data[position++];
    if (block == kTrailer) break;
    if (block == kExtensionBlock) {
      if (position >= size) break;
      const uint8_t label = data[position++];
      if (label == kGraphicControlLabel && FileHolds(size, position, 5) && data[position] >= 4) {
        const uint8_t* p = data + position + 1;
        control.present = true;
        control.disposal = static_cast<uint8_t>((p[0] >> 2) & 7);
        control.transparent = (p[0] & 1) != 0;
        control.delay = LoadU16(p + 1);
        control.index = p[3];
      }
      GifSubBlockReader reader;
      StartGifSubBlocks(&reader, data, size, position);
      if (!SkipGifSubBlocks(&reader)) break;
      position = reader.position;
      continue;
    }
    if (block != kImageBlock) break;
    if (!FileHolds(size, position, kImageDescriptorSize)) break;
    const uint8_t* d = data + position;
    position += kImageDescriptorSize;
    const int32_t left = LoadU16(d);
    const int32_t top = LoadU16(d + 2);
    const uint8_t flags = d[8];
    int32_t local_count = 0;
    if (flags & 0x80) {
      local_count = 1 << ((flags & 7) + 1);
      if (!FileHolds(size, position, size_t(local_count) * 3)) break;
    }
    const uint8_t* local_table = data + position;
    position += size_t(local_count) * 3;
    if (position >= size) break;
    const int32_t min_code_size = data[position++];
    if (table->frames.size() >= size_t{kGifMaxFrames}) break;

    GifFrame frame;
    frame.declared_width = LoadU16(d + 4);
    frame.declared_height = LoadU16(d + 6);
    frame.left = std::min(left, screen_width);
    frame.top = std::min(top, screen_height);
    frame.width = std::min(frame.declared_width, screen_width - frame.left);
    frame.height = std::min(frame.declared_height, screen_height - frame.top);
    frame.flags = flags;
    if (control.present) {
      frame.disposal = control.disposal;
      frame.has_transparency = control.transparent ? 1 : 0;
      frame.transparent_index = control.index;
      frame.delay = control.delay;
    }
    control = GraphicControl{};
    if (local_count > 0) {
      ReadColourTable(local_table, local_count, frame.colours);
    } else {
      std::memcpy(frame.colours, global_colours, sizeof frame.colours);
    }
    const uint64_t area = uint64_t(frame.width) * uint64_t(frame.height);
    if (index_bytes + area > index_budget) break;
    index_bytes += area;
    bool whole = false;
    try {
      frame.indices.assign(static_cast<size_t>(area), 0);
      whole = DecodeFrameData(data, size, &position, min_code_size, &frame, lzw.get());
      table->frames.push_back(std::move(frame));
    } catch (const std::bad_alloc&) {
      return DecodeFail(kErrorNoMemory);
    }
    if (!whole) break;
  }

  if (table->frames.empty()) return DecodeFail(0);
  DecodedImage image;
  if (!AllocDecodedPixels(&image, screen_width, screen_height)) return DecodeFail(kErrorNoMemory);
  DrawFirstFrame(table->frames.front(), &image);
  image.frames = table.release();
  FreeDecodedImage(out);
  *out = image;
  return DecodeOk();
}

}  // namespace korvel
