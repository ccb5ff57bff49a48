// The layer block codec.
#include "layer/layer_block_codec.h"

#include <cstring>

#include "layer/layer_record.h"
#include "script/value_ops.h"

namespace korvel {

namespace {

// Field offsets of the block.
enum : size_t {
  kOffWindowRoot = 0, kOffMessageTarget = 1, kOffMergeCount = 4, kOffFrameRect = 8,
  kOffComposeRect = 40, kOffComposeValid = 72, kOffResized = 73, kOffNeedsRedraw = 74,
  kOffComposed = 75, kOffReferenceCount = 80, kOffSlot38 = 88, kOffX = 96, kOffY = 104,
  kOffWidth = 112, kOffHeight = 116, kOffOpacity = 120, kOffMaskLevel = 122, kOffMaskRamp = 124,
  kOffHasAlpha = 126, kOffBlendMode = 127, kOffVisible = 129, kOffPendingVisible = 130,
  kOffPendingVisibleFlag = 131, kOffPendingOpacity = 132, kOffPendingOpacityFlag = 134,
  kOffSlot28 = 153, kOffExcluded = 160, kOffUploadByte = 161, kOffTileColumns = 162,
  kOffTileRows = 163, kOffTileCaps = 164, kOffTileWidths = 172, kOffTileHeights = 300,
  kOffGpuPlacement = 432, kOffSlots21 = 464, kOffSlots18 = 480, kOffSlot23 = 492,
  kOffColour24 = 496, kOffSlot25 = 500, kOffSlot27 = 508,
};

void Put(uint8_t* block, size_t at, uint64_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) block[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
uint64_t Get(const uint8_t* block, size_t at, size_t bytes) {
  uint64_t v = 0;
  for (size_t i = 0; i < bytes; ++i) v |= uint64_t{block[at + i]} << (8 * i);
  return v;
}
void PutI64(uint8_t* b, size_t at, int64_t v) { Put(b, at, static_cast<uint64_t>(v), 8); }
int64_t GetI64(const uint8_t* b, size_t at) { return static_cast<int64_t>(Get(b, at, 8)); }
int32_t GetI32(const uint8_t* b, size_t at) {
  return static_cast<int32_t>(static_cast<uint32_t>(Get(b, at, 4)));
}
int16_t GetI16(const uint8_t* b, size_t at) {
  return static_cast<int16_t>(static_cast<uint16_t>(Get(b, at, 2)));
}
void PutRect(uint8_t* b, size_t at, const DirtyRect& r) {
  PutI64(b, at, r.x0);
  PutI64(b, at + 8, r.y0);
  PutI64(b, at + 16, r.x1);
  PutI64(b, at + 24, r.y1);
}
void PutF32(uint8_t* b, size_t at, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  Put(b, at, bits, 4);
}
float GetF32(const uint8_t* b, size_t at) {
  const auto bits = static_cast<uint32_t>(Get(b, at, 4));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
int16_t Clamp16(int16_t v, int16_t lo, int16_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

void EncodeLayerBlock(const LayerData& l, uint8_t* b) {
  std::memset(b, 0, kLayerBlockSize);
  Put(b, kOffWindowRoot, l.is_window_root, 1);
  Put(b, kOffMessageTarget, l.is_message_target, 1);
  Put(b, kOffMergeCount, l.dirty_merge_count, 4);
  PutRect(b, kOffFrameRect, l.frame_rect);
  PutRect(b, kOffComposeRect, l.compose_rect);
  Put(b, kOffComposeValid, l.compose_valid, 1);
  Put(b, kOffResized, l.resized, 1);
  Put(b, kOffNeedsRedraw, l.needs_redraw, 1);
  Put(b, kOffComposed, l.composed, 1);
  Put(b, kOffReferenceCount, l.reference_count, 8);
  PutI64(b, kOffSlot38, l.value_slot38);
  PutI64(b, kOffX, l.x);
  PutI64(b, kOffY, l.y);
  Put(b, kOffWidth, static_cast<uint32_t>(l.width), 4);
  Put(b, kOffHeight, static_cast<uint32_t>(l.height), 4);
  Put(b, kOffOpacity, static_cast<uint16_t>(l.opacity), 2);
  Put(b, kOffMaskLevel, static_cast<uint16_t>(l.mask_level), 2);
  Put(b, kOffMaskRamp, static_cast<uint16_t>(l.mask_ramp), 2);
  Put(b, kOffHasAlpha, l.has_alpha, 1);
  Put(b, kOffBlendMode, static_cast<uint8_t>(l.blend_mode), 1);
  Put(b, kOffVisible, l.visible, 1);
  Put(b, kOffPendingVisible, l.pending_visible, 1);
  Put(b, kOffPendingVisibleFlag, l.pending_visible_flag, 1);
  Put(b, kOffPendingOpacity, static_cast<uint16_t>(l.pending_opacity), 2);
  Put(b, kOffPendingOpacityFlag, l.pending_opacity_flag, 1);
  Put(b, kOffSlot28, static_cast<uint8_t>(l.value_slot28), 1);
  Put(b, kOffExcluded, static_cast<uint8_t>(l.excluded), 1);
  Put(b, kOffUploadByte, l.upload_byte, 1);
  Put(b, kOffTileColumns, l.tile_columns, 1);
  Put(b, kOffTileRows, l.tile_rows, 1);
  Put(b, kOffTileCaps, static_cast<uint32_t>(l.tile_cap_width), 4);
  Put(b, kOffTileCaps + 4, static_cast<uint32_t>(l.tile_cap_height), 4);
  for (size_t i = 0; i < kLayerTileSlots; ++i) {
    Put(b, kOffTileWidths + 4 * i, l.tile_widths[i], 4);
    Put(b, kOffTileHeights + 4 * i, l.tile_heights[i], 4);
  }
  for (size_t i = 0; i < 4; ++i) PutI64(b, kOffGpuPlacement + 8 * i, l.gpu_placement[i]);
  PutI64(b, kOffSlots21, l.value_slot21);
  PutI64(b, kOffSlots21 + 8, l.value_slot22);
  for (size_t i = 0; i < 3; ++i) PutF32(b, kOffSlots18 + 4 * i, l.value_slots18_20[i]);
  Put(b, kOffSlot23, l.value_slot23, 4);
  Put(b, kOffColour24, l.colour_slot24, 4);
  Put(b, kOffSlot25, l.value_slot25, 1);
  Put(b, kOffSlot27, static_cast<uint16_t>(l.value_slot27), 2);
}

bool ReadLayerBlockSides(std::span<const uint8_t> block, int32_t* width, int32_t* height) {
  if (block.size() < kOffHeight + 4) return false;
  *width = GetI32(block.data(), kOffWidth);
  *height = GetI32(block.data(), kOffHeight);
  return true;
}

LayerBlockStatus DecodeLayerBlock(std::span<const uint8_t> block, uint64_t pixel_bytes,
                                  LayerData* l) {
  if (block.size() != kLayerBlockSize) return LayerBlockStatus::kWrongSize;
  const uint8_t* b = block.data();
  const int32_t width = GetI32(b, kOffWidth);
  const int32_t height = GetI32(b, kOffHeight);
  if (width < 1 || height < 1 || width > kMaxLayerSide || height > kMaxLayerSide) {
    return LayerBlockStatus::kBadSides;
  }
  if (pixel_bytes != uint64_t{static_cast<uint32_t>(width)} * 4 * static_cast<uint32_t>(height)) {
    return LayerBlockStatus::kPixelCountMismatch;
  }
  l->is_window_root = 0;
  l->is_message_target = 0;
  l->dirty_merge_count = 0;
  l->frame_rect = EmptyDirtyRect();
  l->compose_rect = EmptyDirtyRect();
  l->frame_parts.count = 0;
  l->compose_parts.count = 0;
  l->compose_valid = 0;
  l->resized = 0;
  l->needs_redraw = 0;
  l->composed = 0;
  l->value_slot38 = GetI64(b, kOffSlot38);
  l->x = GetI64(b, kOffX);
  l->y = GetI64(b, kOffY);
  l->width = width;
  l->height = height;
  l->opacity = Clamp16(GetI16(b, kOffOpacity), 0, 256);
  l->mask_level = Clamp16(GetI16(b, kOffMaskLevel), 0, 256);
  l->mask_ramp = GetI16(b, kOffMaskRamp);
  l->has_alpha = b[kOffHasAlpha];
  const auto mode = static_cast<int8_t>(b[kOffBlendMode]);
  l->blend_mode = static_cast<int8_t>(ClampValue(mode, 0, 18));
  l->visible = b[kOffVisible];
  l->pending_visible = b[kOffPendingVisible];
  l->pending_visible_flag = b[kOffPendingVisibleFlag];
  l->pending_opacity = Clamp16(GetI16(b, kOffPendingOpacity), 0, 256);
  l->pending_opacity_flag = b[kOffPendingOpacityFlag];
  l->value_slot28 = static_cast<int8_t>(ClampValue(static_cast<int8_t>(b[kOffSlot28]), 0, 1));
  l->excluded = static_cast<int8_t>(b[kOffExcluded]);
  l->upload_byte = 0;
  l->tile_columns = 0;
  l->tile_rows = 0;
  l->tile_cap_width = 0;
  l->tile_cap_height = 0;
  std::memset(l->tile_widths, 0, sizeof l->tile_widths);
  std::memset(l->tile_heights, 0, sizeof l->tile_heights);
  for (size_t i = 0; i < 4; ++i) l->gpu_placement[i] = GetI64(b, kOffGpuPlacement + 8 * i);
  l->value_slot21 = GetI64(b, kOffSlots21);
  l->value_slot22 = GetI64(b, kOffSlots21 + 8);
  for (size_t i = 0; i < 3; ++i) l->value_slots18_20[i] = GetF32(b, kOffSlots18 + 4 * i);
  l->value_slot23 = static_cast<uint32_t>(ClampValue(GetI32(b, kOffSlot23), 0, 256));
  l->colour_slot24 = static_cast<uint32_t>(ClampValue(GetI32(b, kOffColour24), 0, 0x1000000));
  l->value_slot25 = b[kOffSlot25];
  l->value_slot27 = Clamp16(GetI16(b, kOffSlot27), 0, 256);
  return LayerBlockStatus::kOk;
}

}  // namespace korvel
