// Reading a multi-frame image file held in memory: the header and tables checked against the
// file, then every part unscrambled in place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// The file's header values and its tables, pointing into the caller's bytes.
struct MultiFrameView {
  uint32_t frame_count = 0;
  uint32_t alpha_flag = 0;  // 1: every frame has an alpha part (a size of 0 means opaque)
  uint32_t value_a = 0, value_b = 0, value_c = 0;
  const uint8_t* offsets = nullptr;       // frame_count u32: file offset of the colour part
  const uint8_t* colour_sizes = nullptr;  // frame_count u32
  const uint8_t* alpha_sizes = nullptr;   // frame_count u32; the alpha part follows the colour one
};

struct MultiFramePart {
  const uint8_t* colour = nullptr;
  size_t colour_size = 0;
  const uint8_t* alpha = nullptr;  // null when the frame has no alpha part
  size_t alpha_size = 0;
};

// Checks the file: the header and the three tables lie inside it, and every frame's colour and
// alpha parts lie inside it behind the tables without overlapping another frame's parts (a shared
// byte would be unscrambled twice). Only then unscrambles every part in place. 0, or -1 with
// nothing changed and a short reason in *why (may be null).
int32_t OpenMultiFrameFile(uint8_t* data, size_t size, MultiFrameView* out, const char** why);

// Frame `index` (< frame_count) of a view that OpenMultiFrameFile accepted.
MultiFramePart MultiFrameFramePart(const MultiFrameView& view, uint32_t index);

}  // namespace korvel
