// Command 4: answers one query about a layer: existence, placement, settings, a pixel under a point
// of a window or of the layer, or the box of its visible pixels.
#include "commands/layer_query_command.h"

#include <cstring>

#include "core/error_report.h"
#include "core/named_tree.h"
#include "core/window_record.h"
#include "layer/layer_data.h"
#include "layer/layer_record.h"
#include "script/decoded_arguments.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace korvel {
namespace {

constexpr uint8_t kQueryOrder[] = {1, 2, 3, 8, 9, 10, 4, 5, 6, 11, 12, 13, 14, 15, 16, 17, 18, 19};
constexpr uint8_t kParamTarget = 20;
constexpr uint8_t kParamX = 21;
constexpr uint8_t kParamY = 22;

uint32_t PixelAt(const LayerData* layer, int32_t x, int32_t y) {
  uint32_t pixel;
  std::memcpy(&pixel, layer->pixels + (static_cast<size_t>(y) * layer->width + x) * 4, 4);
  return pixel;  // blue in the low byte, alpha in the top byte
}

int64_t Colour(uint32_t pixel) { return pixel & 0xFFFFFF; }

// Queries 14 to 16: the layer's pixel under a point of a window, or -1.
int64_t PixelUnderWindowPoint(const NamedTreeNode* node, const LayerData* layer, uint8_t query) {
  int64_t index = static_cast<int32_t>(ArgValue(query));
  if (index < 0) index = 0;
  if (index > kWindowCount - 1) index = kWindowCount - 1;
  const WindowRecord* w = g_windows[index];
  if (w == nullptr || layer->pixels == nullptr) return -1;
  int32_t x = w->mouse_x.load();
  int32_t y = w->mouse_y.load();
  if (ArgGiven(kParamX)) x = static_cast<int32_t>(ArgValue(kParamX));
  if (ArgGiven(kParamY)) y = static_cast<int32_t>(ArgValue(kParamY));
  if (x < 0 || y < 0 || x >= w->logical_width || y >= w->logical_height) return -1;
  // The layer's place in the window: its own offset and those of its named ancestors, summed in
  // 32 bits as the window's coordinates are.
  uint32_t left = 0, top = 0;
  for (const NamedTreeNode* n = node; n != nullptr && n->name != nullptr && n->name_length > 0;
       n = n->parent) {
    const LayerData* l = LayerOf(n);
    if (l == nullptr) continue;
    left += static_cast<uint32_t>(l->x);
    top += static_cast<uint32_t>(l->y);
  }
  const int64_t lx = int64_t{x} - static_cast<int32_t>(left);
  const int64_t ly = int64_t{y} - static_cast<int32_t>(top);
  if (lx < 0 || ly < 0 || lx >= layer->width || ly >= layer->height) return -1;
  const uint32_t pixel = PixelAt(layer, static_cast<int32_t>(lx), static_cast<int32_t>(ly));
  if (query == 14) return Colour(pixel);
  if (query == 15) return pixel >> 24;
  return static_cast<int32_t>(pixel);
}

}  // namespace

VisibleBox FindVisibleBox(const LayerData* layer) {
  VisibleBox box;
  if (layer == nullptr || layer->pixels == nullptr) return box;
  const int64_t width = layer->width > 0 ? layer->width : 0;
  for (int32_t y = 0; y < layer->height; ++y) {
    const uint8_t* row = layer->pixels + static_cast<size_t>(y * width) * 4;
    const uint8_t* alpha = row + 3;
    // Two pixels at a time while their alpha bytes are 0 (little-endian words).
    int64_t first = 0;
    for (uint64_t pair = 0; first + 2 <= width; first += 2) {
      std::memcpy(&pair, row + first * 4, 8);
      if ((pair & 0xFF000000FF000000ull) != 0) break;
    }
    while (first < width && alpha[first * 4] == 0) ++first;
    if (first == width) continue;
    if (box.top < 0) box.top = y;
    box.bottom = y;
    if (box.left < 0 || first < box.left) box.left = first;
    // The right edge only moves outwards: look no further left than the one found so far.
    const int64_t floor = box.right > first ? box.right : first;
    for (int64_t x = width - 1; x > floor; --x) {
      if (alpha[x * 4] != 0) {
        box.right = x;
        break;
      }
    }
    if (box.right < first) box.right = first;
  }
  return box;
}

int32_t RunLayerQueryCommand() {
  if (g_argument_decoder(kCommandLayerQuery) != 0) return -1;
  const DecodedArgument* target = FindArg(kParamTarget);
  if (!ArgGiven(0) || target == nullptr) return 0;
  const uint32_t variable = target->var_number;
  const int64_t element = target->element_index;

  char path[kObjectPathCapacity];
  const int32_t normalised =
      NormalizeObjectPath(path, sizeof path, ArgText(0), g_layer_tree.base_path, false);
  if (normalised < 0) return -1;
  NamedTreeNode* node =
      FindObjectByPath(g_layer_tree.root, path, normalised == 1 ? kFindGroup : kFindLeaf);
  const LayerData* layer = LayerOf(node);
  if (layer == nullptr) {
    SetVarElementEmpty(variable, element);
    return 0;
  }

  uint8_t query = 0;
  for (const uint8_t q : kQueryOrder) {
    if (ArgGiven(q)) {
      query = q;
      break;
    }
  }
  int64_t answer = 0;
  switch (query) {
    case 1: answer = 1; break;
    case 2: answer = layer->visible; break;
    case 3: answer = layer->opacity; break;
    case 4: answer = layer->x; break;
    case 5: answer = layer->y; break;
    case 6: answer = node->order_key; break;
    case 8: answer = layer->mask_level; break;
    case 9:
      SetVarStringElement(variable, element, layer->mask_path != nullptr ? layer->mask_path : "");
      return 0;
    case 10: answer = layer->mask_ramp; break;
    case 11: answer = layer->blend_mode; break;
    case 12: answer = layer->width; break;
    case 13: answer = layer->height; break;
    case 14:
    case 15:
    case 16: answer = PixelUnderWindowPoint(node, layer, query); break;
    case 17: {
      if (!ArgGiven(kParamX) || !ArgGiven(kParamY)) {
        ReportScriptError(101295, true, CommandName(kCommandLayerQuery),
                          ParameterName(kCommandLayerQuery, 17));
        return -1;
      }
      const int32_t x = static_cast<int32_t>(ArgValue(kParamX));
      const int32_t y = static_cast<int32_t>(ArgValue(kParamY));
      answer = -1;
      if (layer->pixels != nullptr && x >= 0 && y >= 0 && x < layer->width && y < layer->height) {
        answer = Colour(PixelAt(layer, x, y));
      }
      break;
    }
    case 18: {
      if (layer->pixels == nullptr) {
        answer = -1;
        break;
      }
      const VisibleBox box = FindVisibleBox(layer);
      switch (ArgValue(kParamX)) {
        case 1: answer = box.top; break;
        case 2: answer = box.bottom; break;
        case 3: answer = box.left; break;
        case 4: answer = box.right; break;
        default: answer = 0; break;
      }
      break;
    }
    case 19: answer = layer->value_slot38; break;
    default: answer = 0; break;
  }
  SetVarNumberElement(variable, element, answer);
  return 0;
}

}  // namespace korvel
