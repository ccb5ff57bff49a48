// The layer record: the payload of every layer node (placement, size, pixels, opacity, mask and
// blend settings, visibility, dirty rectangles, reference count, GPU tiles). A native record; the
// 1536-byte block of save files is written and read by its own codec.
#pragma once

#include <cstdint>

namespace korvel {

struct GifFrameTable;

inline constexpr int64_t kEmptyRectMin = 999999999;
inline constexpr int64_t kEmptyRectMax = -999999999;
inline constexpr int32_t kLayerStringCapacity = 261;
inline constexpr int32_t kLayerTileSlots = 32;
inline constexpr int32_t kLayerTextureSlots = 256;

// Inclusive x0, y0, x1, y1 in the layer's own pixels; empty when a minimum exceeds its maximum.
struct DirtyRect {
  int64_t x0, y0, x1, y1;
};

// Disjoint rectangles that together cover what changed inside a layer's bounding dirty rectangle,
// so that far-apart changes are redrawn and shown apart. Count 0: the bounding rectangle stands for
// itself (a whole-layer change, or nothing known finer).
inline constexpr int32_t kDirtyPartCapacity = 8;
struct DirtyParts {
  uint8_t count;
  DirtyRect rects[kDirtyPartCapacity];
};

struct LayerData {
  uint8_t is_window_root;      // root layer of one of the four windows
  uint8_t is_message_target;   // target layer of the message text
  uint32_t dirty_merge_count;  // child boxes that started a compose rectangle this frame
  DirtyRect frame_rect;        // what changed in this frame
  DirtyRect compose_rect;      // what the compositor must redraw (valid while compose_valid)
  uint8_t compose_valid;
  DirtyParts frame_parts;    // pieces of frame_rect
  DirtyParts compose_parts;  // pieces of compose_rect
  uint8_t resized;       // the next merge takes the whole layer
  uint8_t needs_redraw;  // this layer or a descendant changed since the last frame
  uint8_t composed;      // set each time the layer is blended into its parent
  char* mask_path;       // owned 261-byte buffer: layer path of the mask layer, empty = none
  uint64_t reference_count;
  int64_t value_slot38;
  int64_t x, y;           // left and top edge in the parent's pixels
  int32_t width, height;  // width is also the pitch in pixels
  int16_t opacity;        // 0..256
  int16_t mask_level;     // 0..256
  int16_t mask_ramp;
  uint8_t has_alpha;
  int8_t blend_mode;  // 0..18
  uint8_t visible;
  uint8_t pending_visible;
  uint8_t pending_visible_flag;
  int16_t pending_opacity;
  uint8_t pending_opacity_flag;
  uint8_t* pixels;      // owned: width * 4 * (height + 1) + 4 bytes, blue green red alpha
  uint8_t* aux_buffer;  // second buffer of the pixel allocator
  int8_t value_slot28;
  int8_t excluded;  // non-zero: never composed
  uint8_t upload_byte;
  uint8_t tile_columns;
  uint8_t tile_rows;
  int32_t tile_cap_width, tile_cap_height;
  uint32_t tile_widths[kLayerTileSlots];
  uint32_t tile_heights[kLayerTileSlots];
  int64_t gpu_placement[4];  // hundredths of a pixel: origin and scale
  int64_t value_slot21, value_slot22;
  float value_slots18_20[3];
  uint32_t value_slot23;   // 0..256
  uint32_t colour_slot24;  // 0xRRGGBB
  uint8_t value_slot25;
  char* second_string;  // owned 261-byte buffer
  int16_t value_slot27;
  void* tile_textures[kLayerTextureSlots];
  GifFrameTable* gif_frames;  // owned: every frame of a GIF image loaded into the layer
};

}  // namespace korvel
