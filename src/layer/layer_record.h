// Layer records on tree nodes: the layer-wide state (changed flag, references that other code keeps
// to layer nodes), rectangle helpers and the pixel-buffer rules every layer obeys.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/named_tree.h"
#include "layer/layer_data.h"

namespace korvel {

inline constexpr int32_t kMaxLayerSide = 8192;

// Layer-wide state kept by the layer code.
struct LayerState {
  uint8_t layers_changed = 0;               // a layer command or the sweep changed something
  NamedTreeNode* designated_layer = nullptr;  // layer command keyword 12
  NamedTreeNode* message_target = nullptr;    // the message text's target layer
  // Called when the message target's node is released, so the text code drops its pointer.
  void (*message_target_released)() = nullptr;
  // Command 13's switch for command 1: a missing image layer without the data to create it is an
  // error (101230) while it reads non-zero. The switch table starts at 1.
  uint8_t (*missing_layer_is_error)() = nullptr;
  // Keyword 13: copies the screen into the layer (screen capture); none does nothing.
  int32_t (*capture_screen)(NamedTreeNode* node, int64_t value) = nullptr;
};

extern LayerState g_layer_state;

// Resets the layer state and installs the record extras release (GIF frames).
void InitLayerState();

inline LayerData* LayerOf(const NamedTreeNode* node) {
  return node != nullptr ? static_cast<LayerData*>(node->payload) : nullptr;
}

// Bytes of a layer pixel buffer: width * 4 * (height + 1) + 4 (one spare row and one spare
// pixel), or 0 for a side outside 1..8192.
size_t LayerBufferBytes(int64_t width, int64_t height);

// True when the record's sides are 1..8192 and it has a pixel buffer (what the compositor draws).
bool LayerHasPixels(const LayerData* layer);

// 64-bit addition that stops at the limits instead of overflowing (placements are script values).
inline int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? INT64_MAX : INT64_MIN;
  return r;
}

inline DirtyRect EmptyDirtyRect() {
  return DirtyRect{kEmptyRectMin, kEmptyRectMin, kEmptyRectMax, kEmptyRectMax};
}
inline bool DirtyRectEmpty(const DirtyRect& r) { return r.x0 > r.x1 || r.y0 > r.y1; }
inline DirtyRect WholeLayerRect(const LayerData* layer) {
  return DirtyRect{0, 0, int64_t{layer->width} - 1, int64_t{layer->height} - 1};
}

// The whole layer is shown again with this frame: frame rectangle the whole layer, no parts.
inline void SetWholeFrameRect(LayerData* layer) {
  layer->frame_rect = WholeLayerRect(layer);
  layer->frame_parts.count = 0;
}

// The layer's box in its parent's pixels: x, y, x + width - 1, y + height - 1 (saturating). False
// when a side is below 1 (the layer covers nothing).
bool LayerBox(const LayerData* layer, DirtyRect* box);

// Marks the whole layer for composing: compose rectangle the whole layer, compose-valid, resized
// and needs-redraw set.
void MarkLayerWhollyChanged(LayerData* layer);

// Points the message text at `node` (null clears): the record bytes follow.
void SetMessageTargetLayer(NamedTreeNode* node);

// Copies a script string into a 261-byte layer string buffer, cut to 260 bytes on a character
// boundary (a double-byte character is never split). Returns true when the buffer changed.
bool CopyLayerString(char* buffer, const char* text);

}  // namespace korvel
