// The multi-frame file reader: every size is checked in 64 bits before a byte is transformed.
#include "image/multi_frame_file.h"

#include <algorithm>
#include <vector>

#include "image/image_decode.h"
#include "image/multi_frame_format.h"

namespace korvel {

namespace {

int32_t Refuse(const char** why, const char* reason) {
  if (why != nullptr) *why = reason;
  return -1;
}

struct Span {
  uint64_t begin, end;  // [begin, end)
};

}  // namespace

int32_t OpenMultiFrameFile(uint8_t* data, size_t size, MultiFrameView* out, const char** why) {
  if (data == nullptr || size < kMultiFrameHeaderSize) return Refuse(why, "header cut short");
  MultiFrameView view;
  view.frame_count = LoadU32(data + kMultiFrameCountOffset);
  view.alpha_flag = LoadU32(data + kMultiFrameAlphaFlagOffset) == 1 ? 1 : 0;
  view.value_a = LoadU32(data + kMultiFrameValueAOffset);
  view.value_b = LoadU32(data + kMultiFrameValueBOffset);
  view.value_c = LoadU32(data + kMultiFrameValueCOffset);
  const uint64_t n = view.frame_count;
  const uint64_t tables_end = uint64_t{kMultiFrameTablesOffset} + 12 * n;
  if (tables_end > size) return Refuse(why, "frame tables run past the end of the file");
  view.offsets = data + kMultiFrameTablesOffset;
  view.colour_sizes = view.offsets + 4 * n;
  view.alpha_sizes = view.colour_sizes + 4 * n;

  std::vector<Span> spans;
  spans.reserve(static_cast<size_t>(n));
  for (uint64_t i = 0; i < n; ++i) {
    const uint64_t offset = LoadU32(view.offsets + 4 * i);
    const uint64_t colour = LoadU32(view.colour_sizes + 4 * i);
    const uint64_t alpha = view.alpha_flag == 1 ? LoadU32(view.alpha_sizes + 4 * i) : 0;
    if (offset < tables_end) return Refuse(why, "a part overlaps the header or the tables");
    const uint64_t end = offset + colour + alpha;  // each term is below 2^32: no overflow
    if (end > size) return Refuse(why, "a part runs past the end of the file");
    spans.push_back({offset, end});
  }
  std::sort(spans.begin(), spans.end(),
            [](const Span& a, const Span& b) { return a.begin < b.begin; });
  for (size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].begin < spans[i - 1].end) return Refuse(why, "two frames share bytes");
  }

  *out = view;
  for (uint32_t i = 0; i < view.frame_count; ++i) {
    const MultiFramePart part = MultiFrameFramePart(view, i);
    uint8_t* colour = data + (part.colour - data);
    TransformMultiFramePart(colour, part.colour_size);
    if (part.alpha != nullptr) TransformMultiFramePart(colour + part.colour_size, part.alpha_size);
  }
  return 0;
}

MultiFramePart MultiFrameFramePart(const MultiFrameView& view, uint32_t index) {
  MultiFramePart part;
  const uint8_t* file = view.offsets - kMultiFrameTablesOffset;
  const size_t offset = LoadU32(view.offsets + 4 * size_t{index});
  part.colour = file + offset;
  part.colour_size = LoadU32(view.colour_sizes + 4 * size_t{index});
  if (view.alpha_flag == 1) {
    const size_t alpha = LoadU32(view.alpha_sizes + 4 * size_t{index});
    if (alpha > 0) {
      part.alpha = part.colour + part.colour_size;
      part.alpha_size = alpha;
    }
  }
  return part;
}

}  // namespace korvel
