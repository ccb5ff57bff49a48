// Script command 2.
#include "layer/draw_command.h"

#include <algorithm>
#include <array>

#include "core/error_report.h"
#include "layer/compositor.h"
#include "layer/dirty_rects.h"
#include "layer/layer_canvas.h"
#include "layer/layer_copies.h"
#include "layer/rule_transition.h"
#include "layer/layer_create.h"
#include "layer/layer_effects.h"
#include "layer/layer_paths.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "layer/layer_tree_edits.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/expression_machine.h"
#include "script/script_data.h"

namespace korvel {

DrawCommandHooks g_draw_hooks{};

namespace {

constexpr int32_t kErrorOutOfRange = 101000;
constexpr int32_t kErrorSwapRect = 101281;
constexpr int32_t kErrorRotateRect = 101282;
constexpr int32_t kErrorMosaicRect = 101283;
constexpr int32_t kErrorShuffleRect = 101284;
constexpr int32_t kErrorGroupPath = 101291;
constexpr int32_t kErrorNoCopyLayer = 101296;
constexpr int32_t kErrorNoSwapLayer = 101297;
constexpr int32_t kErrorNoLayer1 = 101298;

// The flags whose rectangle values are positions or margins (never clamped).
constexpr std::array<uint8_t, 12> kUnclampedFlags = {20, 21, 22, 23, 24, 30, 31, 32, 33, 34, 35, 37};

// One run of the command: the layers and the rectangle.
struct DrawRun {
  const DrawCommandArgs& a;
  NamedTreeNode* node[4] = {};
  int32_t n = 0;  // further layers named
  int32_t has_output = 0;  // layer 1 exists: operations write into it
  int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  int64_t hx0 = 0, hy0 = 0, hx1 = 0, hy1 = 0;
  int64_t value_a = 0, value_b = 0;
};

bool Given(const DrawRun& r, uint8_t p) { return r.a.given[p]; }
int64_t Value(const DrawRun& r, uint8_t p) { return r.a.value[p]; }
bool RectGiven(const DrawRun& r) {
  return Given(r, kDrawX0) || Given(r, kDrawY0) || Given(r, kDrawX1) || Given(r, kDrawY1);
}

// Value A against 0..upper, the upper bound compared unsigned on the low 32 bits.
bool CheckValueA(const DrawRun& r, uint32_t upper) {
  if (static_cast<uint32_t>(r.value_a) <= upper) return true;
  ReportScriptError(kErrorOutOfRange, true, CommandName(kCommandDraw),
                    ParameterName(kCommandDraw, kDrawValueA), r.value_a, int64_t{0},
                    int64_t{upper});
  return false;
}

int32_t FlagError(int32_t code, uint8_t flag) {
  ReportScriptError(code, true, CommandName(kCommandDraw), ParameterName(kCommandDraw, flag));
  return -1;
}

int32_t Result(int32_t r) { return r == 0 ? 0 : -1; }

// Finds layer 0 (flattening a group first). False when the command has nothing to do or failed
// (*result says which).
bool FindLayer0(DrawRun& run, int32_t* result) {
  *result = 0;
  LayerPath path;
  if (NormalizeLayerPath(run.a.text[kDrawLayer0], &path) != 0) {
    *result = -1;
    return false;
  }
  NamedTreeNode* parent = FindNodeByPath(path.text, g_layer_tree.root);  // reports 100230
  if (parent == nullptr) return false;
  const std::string_view text(path.text);
  NamedTreeNode* node = FindObjectByPath(parent, text.substr(ParentPathLength(text)),
                                         path.group ? kFindGroup : kFindLeaf);
  LayerData* l = LayerOf(node);
  if (l == nullptr) return false;
  if (path.group) {
    l->compose_rect = WholeLayerRect(l);
    l->compose_parts.count = 0;
    l->resized = 1;
    l->compose_valid = 1;
    SweepLayerChanges();
    if (LayerHasPixels(l)) ComposeLayerTree(node, 1, 0);
  }
  run.node[0] = node;
  return true;
}

// Looks up (or creates) further layer i. -1 after a report.
int32_t FindFurtherLayer(DrawRun& run, int i) {
  const std::string& name = run.a.text[i];
  // A layer left out below a higher one named has an empty path: it names no layer, so what
  // needs it reports its missing-layer error and what writes into it writes into layer 0.
  if (name.empty()) return 0;
  LayerPath path;
  if (NormalizeLayerPath(name, &path) != 0) return -1;
  if (path.group) {
    ReportScriptError(kErrorGroupPath, true, CommandName(kCommandDraw), name);
    return -1;
  }
  // A missing parent group has been reported by the lookup and ends the command.
  NamedTreeNode* parent = FindNodeByPath(path.text, g_layer_tree.root);
  if (parent == nullptr) return -1;
  const std::string_view text(path.text);
  NamedTreeNode* node = FindObjectByPath(parent, text.substr(ParentPathLength(text)), kFindLeaf);
  if (node == nullptr) {
    node = CreateNamedLayer(&g_layer_tree, path.text, kNodeLeaf, 1);
    if (node == nullptr) return -1;
    if (CreateLayerDataForNode(node) == nullptr) {
      DestroyTreeNode(node, nullptr);
      return -1;
    }
  }
  MarkDirtyUpward(node);
  run.node[i] = node;
  return 0;
}

// The rectangle parameters with their defaults, clamped into layer 0 unless an exempt flag is
// present.
void ReadRectangle(DrawRun& run) {
  const LayerData* l = LayerOf(run.node[0]);
  if (l == nullptr) return;  // FindLayer0 has made sure of it
  const int64_t w = l->width, h = l->height;
  const auto pick = [&](uint8_t p, int64_t fallback) { return Given(run, p) ? Value(run, p) : fallback; };
  run.x0 = pick(kDrawX0, 0);
  run.y0 = pick(kDrawY0, 0);
  run.x1 = pick(kDrawX1, w - 1);
  run.y1 = pick(kDrawY1, h - 1);
  // Script values: the hundredths defaults wrap as the script's own arithmetic does.
  const auto hundred = [](int64_t v) {
    return static_cast<int64_t>(static_cast<uint64_t>(v) * 100u);
  };
  run.hx0 = pick(kDrawX0Hundredths, hundred(run.x0));
  run.hy0 = pick(kDrawY0Hundredths, hundred(run.y0));
  run.hx1 = pick(kDrawX1Hundredths, hundred(run.x1));
  run.hy1 = pick(kDrawY1Hundredths, hundred(run.y1));
  const bool exempt = std::any_of(kUnclampedFlags.begin(), kUnclampedFlags.end(),
                                  [&](uint8_t f) { return Given(run, f); });
  if (exempt) return;
  const int64_t xm = std::max<int64_t>(w - 1, 0), ym = std::max<int64_t>(h - 1, 0);
  run.x0 = std::clamp<int64_t>(run.x0, 0, xm);
  run.x1 = std::clamp<int64_t>(run.x1, 0, xm);
  run.y0 = std::clamp<int64_t>(run.y0, 0, ym);
  run.y1 = std::clamp<int64_t>(run.y1, 0, ym);
  run.hx0 = std::clamp<int64_t>(run.hx0, 0, 100 * xm);
  run.hx1 = std::clamp<int64_t>(run.hx1, 0, 100 * xm);
  run.hy0 = std::clamp<int64_t>(run.hy0, 0, 100 * ym);
  run.hy1 = std::clamp<int64_t>(run.hy1, 0, 100 * ym);
}

int32_t Effect(DrawRun& run, uint8_t mode, uint8_t variant = 0) {
  return Result(ApplyCGEffect(mode, run.node[0], run.node[1], run.x0, run.y0, run.x1, run.y1,
                              run.value_a, run.value_b, run.has_output, variant));
}

// Scaling flags 20..24: the size in hundredths, each side 1..8192 whole pixels.
int32_t Scale(DrawRun& run, int32_t mode) {
  const uint8_t sides[2] = {kDrawWidthHundredths, kDrawHeightHundredths};
  const uint8_t named[2] = {kDrawWidth, kDrawHeight};
  for (int i = 0; i < 2; ++i) {
    const int64_t v = Value(run, sides[i]) / 100;
    if (v < 1 || v > kMaxLayerSide) {
      ReportScriptError(kErrorOutOfRange, true, CommandName(kCommandDraw),
                        ParameterName(kCommandDraw, named[i]), v, int64_t{1},
                        int64_t{kMaxLayerSide});
      return -1;
    }
  }
  return Result(CopyScaleCGRect(run.node[0], run.node[1], run.hx0, run.hy0, run.hx1, run.hy1,
                                Value(run, kDrawWidthHundredths),
                                Value(run, kDrawHeightHundredths), run.has_output, mode));
}

// Scaling, rotation and the effects, after the layers are found and before any text. 1 when no
// flag of this group is present.
int32_t RunEffectFlags(DrawRun& run) {
  struct Bounded {
    uint8_t flag, mode;
    uint32_t upper;
  };
  for (uint8_t flag = 20; flag <= 24; ++flag) {
    if (Given(run, flag)) {
      // Only the value 1 selects a filter of flags 21..24; other values scale with no filter.
      const int32_t mode = flag == 20 ? 10 : (Value(run, flag) == 1 ? (flag - 19) * 10 + 1 : 0);
      return Scale(run, mode);
    }
  }
  if (Given(run, 25)) {
    if (RectGiven(run)) return FlagError(kErrorRotateRect, 25);
    const int64_t v = Value(run, 25);
    const int32_t mode = v == 1 || v == 2 ? static_cast<int32_t>(10 + v) : 0;
    return Result(RotateLayerCG(run.node[0], run.node[1], run.x0, run.y0, run.x1, run.y1,
                                run.value_a, run.has_output, mode));
  }
  static constexpr Bounded kFirst[] = {{27, kEffectSaturation, 256}, {28, kEffectTone, 0xFFFFFF},
                                       {29, kEffectSepia, 0xFFFFFF},  {38, kEffectBrightness, 256},
                                       {39, kEffectThreshold, 256},   {40, kEffectFlip, 1},
                                       {41, kEffectMirror, 1}};
  for (const Bounded& b : kFirst) {
    if (!Given(run, b.flag)) continue;
    return CheckValueA(run, b.upper) ? Effect(run, b.mode) : -1;
  }
  if (Given(run, 42)) {
    if (!CheckValueA(run, 256)) return -1;
    if (RectGiven(run)) return FlagError(kErrorMosaicRect, 42);
    return Effect(run, kEffectMosaic);
  }
  static constexpr Bounded kBlurs[] = {{43, kEffectBoxBlur, 256}, {44, kEffectBlurRows, 256},
                                       {45, kEffectBlurColumns, 256}, {46, kEffectBlur, 256}};
  for (const Bounded& b : kBlurs) {
    if (!Given(run, b.flag)) continue;
    return CheckValueA(run, b.upper) ? Effect(run, b.mode) : -1;
  }
  if (Given(run, 47)) {
    if (!CheckValueA(run, 256)) return -1;
    if (RectGiven(run)) return FlagError(kErrorShuffleRect, 47);
    return Effect(run, kEffectShuffle);
  }
  if (Given(run, 48)) return Effect(run, kEffectRowWave);
  if (Given(run, 49)) return Effect(run, kEffectColumnWave);
  if (Given(run, 50)) return Effect(run, kEffectBothWaves);
  if (Given(run, 55)) return Effect(run, kEffectSwirl);
  if (Given(run, 51)) return CheckValueA(run, 1) ? Effect(run, kEffectNegative) : -1;
  for (uint8_t flag = 52; flag <= 54; ++flag) {
    if (!Given(run, flag)) continue;
    LayerData* out = LayerOf(run.node[1]);
    if (Value(run, flag) >= 2 && out != nullptr) out->has_alpha = 1;
    return Effect(run, kEffectFill, static_cast<uint8_t>(flag - 51));
  }
  return 1;
}

// Font slot and text (after the effects, before the copies), then x0 becomes the raw parameter 8.
// -1 when the text is missing or the slot is out of range.
int32_t RunTextFlags(DrawRun& run) {
  if (Given(run, kDrawFontSlot)) {
    const int64_t slot = Value(run, kDrawFontSlot);
    if (slot < 0 || slot > 7) {
      ReportScriptError(kErrorOutOfRange, true, CommandName(kCommandDraw),
                        ParameterName(kCommandDraw, kDrawFontSlot), slot, int64_t{0}, int64_t{7});
      return -1;
    }
    if (g_draw_hooks.set_font_slot != nullptr) g_draw_hooks.set_font_slot(slot);
  }
  if (Given(run, kDrawTextFlag)) {
    if (!Given(run, kDrawText)) return -1;
    const std::string& text = run.a.text[kDrawText];
    if (g_draw_hooks.draw_text != nullptr && LayerHasPixels(LayerOf(run.node[0]))) {
      g_draw_hooks.draw_text(run.node[0], text.c_str(), text.size(), run.x0, run.y0, run.value_a);
    }
  }
  run.x0 = Given(run, kDrawX0) ? Value(run, kDrawX0) : 0;
  return 0;
}

bool NeedLayers(const DrawRun& run, int count, uint8_t flag, int32_t code) {
  for (int i = 1; i <= count; ++i) {
    if (run.node[i] == nullptr) {
      FlagError(code, flag);
      return false;
    }
  }
  return true;
}

// The copy family, last: copies, crop, canvas, rectangle copies, swap, sprite. 1 when no flag is
// present.
int32_t RunCopyFlags(DrawRun& run) {
  NamedTreeNode** l = run.node;
  const bool out = run.has_output != 0;
  // The copy family reads layers 0..needed and writes the last of them.
  for (uint8_t flag = 30; flag <= 35; ++flag) {
    if (!Given(run, flag)) continue;
    const int needed = flag == 32 ? 2 : (flag == 33 ? 3 : 1);
    if (!NeedLayers(run, needed, flag, kErrorNoLayer1)) return -1;
    using PairCopy = int32_t (*)(NamedTreeNode*, NamedTreeNode*, int64_t, int64_t);
    static constexpr PairCopy kPairCopies[] = {CopyLayerCGRect, BlendLayerCGRect, nullptr,
                                               nullptr, CopyDifferingPixels, CopyEqualPixels};
    if (flag == 32) {
      return Result(MaskCopyLayerCGRect(l[0], l[1], l[2], run.x0, run.y0, run.value_a));
    }
    if (flag == 33) {
      return Result(RuleTransitionLayerCG(l[0], l[1], l[2], l[3], run.x0, run.y0, run.value_a,
                                          run.value_b));
    }
    return Result(kPairCopies[flag - 30](l[0], l[1], run.x0, run.y0));
  }
  if (Given(run, 36)) {
    if (!CheckValueA(run, 15)) return -1;
    return Result(CropLayerCGToOpaque(l[0], l[1], out, run.value_a));
  }
  if (Given(run, 37)) {
    return Result(ExpandLayerCanvas(l[0], l[1], out, run.x0, run.x1, run.y0, run.y1));
  }
  if (Given(run, 58) || Given(run, 59)) {
    const uint8_t flag = Given(run, 58) ? 58 : 59;
    if (!NeedLayers(run, 1, flag, kErrorNoCopyLayer)) return -1;
    return Effect(run, flag == 58 ? kEffectCopyPlaced : kEffectCopy);
  }
  if (Given(run, kDrawSwap) || Given(run, kDrawSwapAll)) {
    const uint8_t flag = Given(run, kDrawSwap) ? kDrawSwap : kDrawSwapAll;
    if (RectGiven(run)) return FlagError(kErrorSwapRect, flag);
    if (!NeedLayers(run, 1, flag, kErrorNoSwapLayer)) return -1;
    SwapLayerNodes(l[0], l[1], flag == kDrawSwap ? 1 : 2);
    return 0;
  }
  if (Given(run, kDrawPasteSprite)) {
    // Sprites exist only on the GPU path; under CPU drawing the paste is refused.
    if (g_draw_hooks.paste_sprite != nullptr && run.node[1] != nullptr &&
        g_draw_hooks.paste_sprite(l[0], l[1]) == 0) {
      g_layer_state.layers_changed = 1;
    }
    return 0;
  }
  return 1;
}

}  // namespace

void CollectDrawCommandArgs(DrawCommandArgs* out) {
  *out = DrawCommandArgs{};
  for (uint8_t slot = 0; slot < kDrawCommandSlots; ++slot) {
    const DecodedArgument* arg = FindArg(slot);
    if (arg == nullptr) continue;
    out->given[slot] = true;
    out->value[slot] = arg->value;
    if (slot <= kDrawText) out->text[slot] = ArgText(slot);
  }
  for (const uint8_t slot : {kDrawValueA, kDrawValueB}) {
    const DecodedArgument* arg = FindArg(slot);
    if (arg == nullptr) continue;
    const bool evaluable = arg->raw != nullptr && arg->type >= 1 && arg->type <= 4;
    out->value[slot] =
        evaluable ? kExpressionEvaluatorTable.to_int[arg->type](arg->raw, arg->length) : 0;
  }
}

int32_t ApplyDrawCommand(const DrawCommandArgs& a) {
  DrawRun run{a};
  int32_t result = 0;
  if (!FindLayer0(run, &result)) return result;
  for (int i = 3; i >= 1; --i) {
    if (a.given[i]) {
      run.n = i;
      break;
    }
  }
  for (int i = 1; i <= run.n; ++i) {
    if (FindFurtherLayer(run, i) != 0) return -1;
  }
  run.has_output = run.node[1] != nullptr ? 1 : 0;
  run.value_a = a.given[kDrawValueA] ? a.value[kDrawValueA] : 0;
  run.value_b = a.given[kDrawValueB] ? a.value[kDrawValueB] : 0;
  ReadRectangle(run);

  const int32_t effects = RunEffectFlags(run);
  if (effects != 1) return effects;
  if (RunTextFlags(run) != 0) return -1;
  const int32_t copies = RunCopyFlags(run);
  if (copies != 1) return copies;
  if (g_draw_hooks.set_font_slot != nullptr) g_draw_hooks.set_font_slot(0);
  return 0;
}

int32_t RunDrawCommand() {
  if (g_argument_decoder(kCommandDraw) != 0) return -1;
  DrawCommandArgs args;
  CollectDrawCommandArgs(&args);
  return ApplyDrawCommand(args) == 0 ? 0 : -1;
}

void RegisterDrawCommandHandler() {
  RegisterCommandHandler(kCommandDraw, RunDrawCommand);
}

}  // namespace korvel
