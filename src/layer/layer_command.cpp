// Script command 1.
#include "layer/layer_command.h"

#include <algorithm>
#include <string>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "layer/layer_payload.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "layer/compositor.h"
#include "layer/dirty_rects.h"
#include "layer/layer_create.h"
#include "layer/layer_paths.h"
#include "layer/layer_record.h"
#include "layer/layer_release.h"
#include "pixel/pixel_kernels.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/script_arith.h"
#include "script/script_data.h"
#include "script/value_ops.h"

namespace korvel {

namespace {

constexpr int32_t kErrorGroupImage = 101280;
constexpr int32_t kErrorMissingLayer = 101230;
constexpr int32_t kErrorNoOrderKey = 100240;
constexpr int32_t kErrorNoSuchLayer = 101250;
constexpr int32_t kErrorBothSides = 100243;
constexpr int32_t kErrorSizeWithoutImage = 100244;
constexpr int32_t kErrorOutOfRange = 101000;
constexpr int64_t kMaxBlendMode = 18;

constexpr uint8_t kStringSlots[] = {kLayerPath,   kLayerSecondString, kLayerImage,
                                    kLayerShare,  kLayerAlphaMask,    kLayerMaskPath};

// Runs of one command: the node, its record and whether anything visible changed.
struct LayerCommandRun {
  const LayerCommandArgs& a;
  NamedTreeNode* node = nullptr;
  LayerData* layer = nullptr;
  bool group = false;
  bool created = false;
  bool changed = false;
};

int64_t Unclamped(const LayerCommandArgs& a, uint8_t slot, int64_t current) {
  return ApplyAssignOperator(a.op[slot], current, a.value[slot]);
}
int64_t Bounded(const LayerCommandArgs& a, uint8_t slot, int64_t current, int64_t lo,
                int64_t hi) {
  return ClampValue(ApplyValueOp(a.op[slot], current, a.value[slot], lo, hi), lo, hi);
}

// Stores `value` in `field` and notes a change when it differs.
template <typename T>
void Store(T& field, int64_t value, bool* changed) {
  const auto v = static_cast<T>(value);
  if (v != field) *changed = true;
  field = v;
}

// The node named by the path, looked up by kind; the parent must exist (a missing group has been
// reported). -1 when normalising or the parent lookup failed.
int32_t FindCommandNode(const std::string& name, LayerPath* path, NamedTreeNode** parent,
                        NamedTreeNode** node) {
  if (NormalizeLayerPath(name, path) != 0) return -1;
  *parent = FindNodeByPath(path->text, g_layer_tree.root);
  if (*parent == nullptr) return -1;
  const std::string_view text(path->text);
  *node = FindObjectByPath(*parent, text.substr(ParentPathLength(text)),
                           path->group ? kFindGroup : kFindLeaf);
  return 0;
}

bool MissingLayerIsError() {
  return g_layer_state.missing_layer_is_error == nullptr || g_layer_state.missing_layer_is_error();
}

// Creates the node when the path names none yet. 1 when nothing is to be done, 0 created, -1 error.
int32_t CreateMissingLayer(LayerCommandRun& run, const LayerPath& path, int64_t key) {
  const LayerCommandArgs& a = run.a;
  if (path.group) {
    if (a.given[kLayerImage] || a.given[kLayerShare]) {
      ReportScriptErrorPlain(kErrorGroupImage, true);
      return -1;
    }
    if (!a.given[kLayerWidth] || !a.given[kLayerHeight] || !a.given[kLayerOrder]) return 1;
    const int64_t w = Unclamped(a, kLayerWidth, 1);
    const int64_t h = Unclamped(a, kLayerHeight, 1);
    run.node = CreateGroupLayerNode(g_layer_tree.root, path.text, w, h, key);
    return run.node != nullptr ? 0 : -1;
  }
  if (!a.given[kLayerImage] && !a.given[kLayerShare]) {
    if (!MissingLayerIsError()) return 1;
    ReportScriptError(kErrorMissingLayer, true, path.text);
    return -1;
  }
  if (!a.given[kLayerOrder]) {
    ReportScriptError(kErrorNoOrderKey, true, path.text);
    return -1;
  }
  // The shared record is found before the node exists, so a failure leaves no bare node.
  LayerData* shared = nullptr;
  if (a.given[kLayerShare]) {
    LayerPath share;
    if (NormalizeLayerPath(a.text[kLayerShare], &share) != 0) return -1;
    shared = LayerOf(FindLayerQuiet(share.text, false));
    if (shared == nullptr) {
      ReportScriptError(kErrorNoSuchLayer, true, CommandName(kCommandLayer),
                        a.text[kLayerShare]);
      return -1;
    }
  }
  run.node = CreateNamedLayer(&g_layer_tree, path.text, kNodeLeaf, key);
  if (run.node == nullptr) return -1;
  if (shared != nullptr) {
    ShareLayerData(run.node, shared);
  } else if (CreateLayerDataForNode(run.node) == nullptr) {
    DestroyTreeNode(run.node, nullptr);
    run.node = nullptr;
    return -1;
  }
  return 0;
}

// Keyword 31: the blue bytes of another image layer become this layer's alpha.
int32_t ApplyAlphaMask(LayerCommandRun& run) {
  const std::string& name = run.a.text[kLayerAlphaMask];
  if (name.empty()) return 0;
  LayerPath path;
  if (NormalizeLayerPath(name, &path) != 0) return -1;
  const LayerData* mask = LayerOf(FindLayerQuiet(path.text, false));
  LayerData* layer = run.layer;
  if (!LayerHasPixels(mask) || !LayerHasPixels(layer)) return 0;
  if (mask->width != layer->width || mask->height != layer->height) {
    static const std::string text = Sjis("レイヤ画像とマスクレイヤ画像のサイズが異なります。");
    ShowMessageF("", "%s", text);
    SetQuitFlag();
    return -1;
  }
  const size_t count = static_cast<size_t>(layer->width) * static_cast<size_t>(layer->height);
  for (size_t i = 0; i < count; ++i) layer->pixels[i * 4 + 3] = mask->pixels[i * 4];
  layer->has_alpha = 1;
  run.changed = true;
  return 0;
}

// Keywords 6 and 7 on a group layer: the new size, a cleared buffer composed at once.
int32_t ResizeGroupLayer(LayerCommandRun& run) {
  const LayerCommandArgs& a = run.a;
  LayerData* layer = run.layer;
  const int64_t w = a.given[kLayerWidth] ? Unclamped(a, kLayerWidth, layer->width) : layer->width;
  const int64_t h =
      a.given[kLayerHeight] ? Unclamped(a, kLayerHeight, layer->height) : layer->height;
  MarkDirtyUpward(run.node);
  if (w > kMaxLayerSide || h > kMaxLayerSide) {
    ReportImageSizeTooLarge(w, h);
    return -1;
  }
  run.changed = true;
  if (w < 1 || h < 1) {
    // A side below 1 is kept; such a layer is neither drawn nor composed.
    layer->width = static_cast<int32_t>(std::max<int64_t>(w, 0));
    layer->height = static_cast<int32_t>(std::max<int64_t>(h, 0));
    return 0;
  }
  uint8_t* pixels = AllocLayerPixels(w, h, nullptr);
  if (pixels == nullptr) return -1;
  FreeBlock(layer->pixels);
  layer->pixels = pixels;
  layer->width = static_cast<int32_t>(w);
  layer->height = static_cast<int32_t>(h);
  MarkLayerWhollyChanged(layer);
  MarkDirtyUpward(run.node);
  SweepLayerChanges();
  ComposeLayerTree(run.node, 1, 0);
  return 0;
}

// Keywords 6 and 7 on an image layer (with keyword 29): a new buffer of opaque black with the old
// pixels in its top-left corner.
int32_t ResizeImageLayer(LayerCommandRun& run) {
  const LayerCommandArgs& a = run.a;
  if (!a.given[kLayerWidth] || !a.given[kLayerHeight]) {
    ReportScriptErrorPlain(kErrorBothSides, true);
    return -1;
  }
  if (!a.given[kLayerImage]) {
    ReportScriptErrorPlain(kErrorSizeWithoutImage, true);
    return -1;
  }
  LayerData* layer = run.layer;
  const int64_t w = Unclamped(a, kLayerWidth, layer->width);
  const int64_t h = Unclamped(a, kLayerHeight, layer->height);
  MarkDirtyUpward(run.node);
  uint8_t* pixels = AllocLayerPixels(w, h, nullptr);
  if (pixels == nullptr) return -1;
  const size_t new_row = static_cast<size_t>(w) * 4;
  for (int64_t y = 0; y < h; ++y) {
    g_pixel_kernels.fill_pixels(pixels + static_cast<size_t>(y) * new_row, new_row, 0xFF000000u);
  }
  if (LayerHasPixels(layer)) {
    const size_t old_row = static_cast<size_t>(layer->width) * 4;
    const size_t copy = std::min(old_row, new_row);
    const int64_t rows = std::min<int64_t>(layer->height, h);
    for (int64_t y = 0; y < rows; ++y) {
      g_pixel_kernels.copy_row(pixels + static_cast<size_t>(y) * new_row,
                               layer->pixels + static_cast<size_t>(y) * old_row, copy);
    }
  }
  FreeBlock(layer->pixels);
  layer->pixels = pixels;
  layer->width = static_cast<int32_t>(w);
  layer->height = static_cast<int32_t>(h);
  run.changed = true;
  return 0;
}

// Keywords 33, 35, 36, 12, 14..28, 13 and 38, in this order.
int32_t ApplyStoredValues(LayerCommandRun& run) {
  const LayerCommandArgs& a = run.a;
  LayerData* l = run.layer;
  bool& changed = run.changed;
  if (a.given[kLayerMaskLevel]) {
    Store(l->mask_level, Bounded(a, kLayerMaskLevel, l->mask_level, 0, 256), &changed);
  }
  if (a.given[kLayerMaskRamp]) {
    Store(l->mask_ramp, ClampValue(a.value[kLayerMaskRamp], INT16_MIN, INT16_MAX), &changed);
  }
  if (a.given[kLayerBlendMode]) {
    const int64_t mode = a.value[kLayerBlendMode];
    if (mode < 0 || mode > kMaxBlendMode) {
      ReportScriptError(kErrorOutOfRange, true, CommandName(kCommandLayer),
                        ParameterName(kCommandLayer, kLayerBlendMode), mode, int64_t{0},
                        kMaxBlendMode);
      return -1;
    }
    Store(l->blend_mode, mode, &changed);
  }
  if (a.given[kLayerDesignated]) {
    g_layer_state.designated_layer = a.value[kLayerDesignated] != 0 ? run.node : nullptr;
  }
  for (uint8_t i = 0; i < 4; ++i) {
    const auto slot = static_cast<uint8_t>(kLayerGpuPlacement + i);
    if (a.given[slot]) {
      Store(l->gpu_placement[i], Unclamped(a, slot, l->gpu_placement[i]), &changed);
    }
  }
  for (uint8_t i = 0; i < 3; ++i) {
    const auto slot = static_cast<uint8_t>(kLayerReals + i);
    if (!a.given[slot]) continue;
    const int64_t v = Unclamped(a, slot, TruncToInt64(static_cast<double>(l->value_slots18_20[i])));
    const auto f = static_cast<float>(v);
    if (f != l->value_slots18_20[i]) changed = true;
    l->value_slots18_20[i] = f;
  }
  if (a.given[kLayerSlot21]) {
    Store(l->value_slot21, Unclamped(a, kLayerSlot21, l->value_slot21), &changed);
  }
  if (a.given[kLayerSlot22]) {
    Store(l->value_slot22, Unclamped(a, kLayerSlot22, l->value_slot22), &changed);
  }
  if (a.given[kLayerSlot23]) {
    Store(l->value_slot23, Bounded(a, kLayerSlot23, l->value_slot23, 0, 256), &changed);
  }
  if (a.given[kLayerColour]) {
    Store(l->colour_slot24, Bounded(a, kLayerColour, l->colour_slot24, 0, 0x1000000), &changed);
  }
  if (a.given[kLayerSlot25]) {
    Store(l->value_slot25, static_cast<uint8_t>(a.value[kLayerSlot25]), &changed);
  }
  if (a.given[kLayerSecondString] && l->second_string != nullptr) {
    CopyLayerString(l->second_string, a.text[kLayerSecondString].c_str());
    changed = true;
  }
  if (a.given[kLayerSlot27]) {
    Store(l->value_slot27, Bounded(a, kLayerSlot27, l->value_slot27, 0, 256), &changed);
  }
  if (a.given[kLayerSlot28]) {
    Store(l->value_slot28, Bounded(a, kLayerSlot28, l->value_slot28, 0, 1), &changed);
  }
  if (a.given[kLayerCapture] && g_layer_state.capture_screen != nullptr) {
    if (g_layer_state.capture_screen(run.node, a.value[kLayerCapture]) != 0) return -1;
  }
  if (a.given[kLayerSlot38]) l->value_slot38 = Unclamped(a, kLayerSlot38, l->value_slot38);
  return 0;
}

}  // namespace

void CollectLayerCommandArgs(LayerCommandArgs* out) {
  *out = LayerCommandArgs{};
  for (uint8_t slot = 0; slot < kLayerCommandSlots; ++slot) {
    const DecodedArgument* arg = FindArg(slot);
    if (arg == nullptr) continue;
    out->given[slot] = true;
    out->value[slot] = arg->value;
    out->op[slot] = static_cast<uint8_t>(arg->op);
  }
  for (uint8_t slot : kStringSlots) {
    if (out->given[slot]) out->text[slot] = ArgText(slot);
  }
}

int32_t ApplyLayerCommand(const LayerCommandArgs& a) {
  LayerCommandRun run{a};
  LayerPath path;
  NamedTreeNode* parent = nullptr;
  if (FindCommandNode(a.text[kLayerPath], &path, &parent, &run.node) != 0) return -1;
  run.group = path.group;

  int64_t key = 1;
  if (a.given[kLayerOrder]) {
    key = ApplyValueOpMin(a.op[kLayerOrder], run.node != nullptr ? run.node->order_key : 1,
                          a.value[kLayerOrder], 1);
    if (run.node != nullptr) {
      UnlinkTreeNode(run.node);
      InsertChildNode(parent, run.node, key);
      run.changed = true;
    }
  }

  if (run.node == nullptr) {
    const int32_t r = CreateMissingLayer(run, path, key);
    if (r != 0) return r > 0 ? 0 : -1;
    run.created = true;
    run.changed = true;
  }
  run.layer = LayerOf(run.node);
  LayerData* l = run.layer;
  if (l == nullptr) return 0;

  if (a.given[kLayerImage]) {
    if (run.group) {
      ReportScriptErrorPlain(kErrorGroupImage, true);
      return -1;
    }
    MarkDirtyUpward(run.node);
    if (LoadImageIntoCG(l, a.text[kLayerImage].c_str()) != 0) {
      SetQuitFlag();
      return -1;
    }
    run.changed = true;
  }
  if (a.given[kLayerAlphaMask] && ApplyAlphaMask(run) != 0) return -1;
  if (a.given[kLayerMaskPath] && l->mask_path != nullptr &&
      CopyLayerString(l->mask_path, a.text[kLayerMaskPath].c_str())) {
    run.changed = true;
  }
  if (a.given[kLayerVisible]) {
    l->pending_visible = static_cast<uint8_t>(a.value[kLayerVisible]);
    l->pending_visible_flag = 1;
  }
  if (a.given[kLayerOpacity]) {
    l->pending_opacity = static_cast<int16_t>(Bounded(a, kLayerOpacity, l->opacity, 0, 256));
    l->pending_opacity_flag = 1;
  }
  for (const uint8_t slot : {kLayerX, kLayerY}) {
    if (!a.given[slot]) continue;
    int64_t& field = slot == kLayerX ? l->x : l->y;
    const int64_t v = Unclamped(a, slot, field);
    if (v == field) continue;
    MarkDirtyUpward(run.node);
    field = v;
    run.changed = true;
  }
  if (a.given[kLayerWidth] || a.given[kLayerHeight]) {
    if (run.group) {
      // A group created by this command already has its size.
      if (!run.created && ResizeGroupLayer(run) != 0) return -1;
    } else if (ResizeImageLayer(run) != 0) {
      return -1;
    }
  }
  if (ApplyStoredValues(run) != 0) return -1;
  if (run.changed) {
    g_layer_state.layers_changed = 1;
    MarkDirtyUpward(run.node);
  }
  return 0;
}

int32_t RunLayerCommand() {
  if (g_argument_decoder(kCommandLayer) != 0) return -1;
  LayerCommandArgs args;
  CollectLayerCommandArgs(&args);
  return ApplyLayerCommand(args) == 0 ? 0 : -1;
}

void RegisterLayerCommandHandlers() {
  RegisterCommandHandler(kCommandLayer, RunLayerCommand);
  RegisterCommandHandler(kCommandReleaseLayer, RunReleaseLayerCommand);
}

}  // namespace korvel
