// Script command 2: one drawing or pixel operation on up to four named layers (effects, scaling,
// rotation, copies, masked copies, rule transitions, crop, canvas, text, node swap), chosen by the
// first flag parameter present in a fixed order. Split into argument collection and the apply step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/named_tree.h"

namespace korvel {

inline constexpr uint8_t kCommandDraw = 2;
inline constexpr int kDrawCommandSlots = 63;

// Parameter indices of command 2.
enum : uint8_t {
  kDrawLayer0 = 0, kDrawLayer1 = 1, kDrawLayer2 = 2, kDrawLayer3 = 3, kDrawValueA = 5,
  kDrawValueB = 6, kDrawText = 7, kDrawX0 = 8, kDrawY0 = 9, kDrawX1 = 10, kDrawY1 = 11,
  kDrawWidth = 12, kDrawHeight = 13, kDrawX0Hundredths = 14, kDrawY0Hundredths = 15,
  kDrawX1Hundredths = 16, kDrawY1Hundredths = 17, kDrawWidthHundredths = 18,
  kDrawHeightHundredths = 19, kDrawFontSlot = 56, kDrawTextFlag = 57, kDrawSwap = 60,
  kDrawSwapAll = 61, kDrawPasteSprite = 62,
};

// The collected parameters: presence, values (A and B already evaluated), texts.
struct DrawCommandArgs {
  bool given[kDrawCommandSlots] = {};
  int64_t value[kDrawCommandSlots] = {};
  std::string text[8];  // parameters 0..7 (strings at 0..3 and 7)

  DrawCommandArgs& Set(uint8_t slot, int64_t v) {
    given[slot] = true;
    value[slot] = v;
    return *this;
  }
  DrawCommandArgs& Text(uint8_t slot, std::string_view t) {
    given[slot] = true;
    text[slot] = std::string(t);
    return *this;
  }
};

// What the draw command needs from the text code (installed by the program; null: nothing).
struct DrawCommandHooks {
  // Makes font slot `slot` current; false outside 0..7.
  bool (*set_font_slot)(int64_t slot) = nullptr;
  // Draws `length` bytes of Shift-JIS text (stopping at a NUL) into the layer with the current
  // slot's style, pen at (x, y), `edge` the edge value.
  void (*draw_text)(NamedTreeNode* layer, const char* text, size_t length, int64_t x, int64_t y,
                    int64_t edge) = nullptr;
  // Sprite pasting onto a GPU layer: 0, or -1 when refused. Null (CPU drawing) refuses.
  int32_t (*paste_sprite)(NamedTreeNode* source, NamedTreeNode* dest) = nullptr;
};
extern DrawCommandHooks g_draw_hooks;

// Copies the decoded arguments of the running command into `out`, evaluating values A and B.
void CollectDrawCommandArgs(DrawCommandArgs* out);

// Carries out command 2. 0, or -1 (errors, or an operation that failed).
int32_t ApplyDrawCommand(const DrawCommandArgs& args);

// The handler of command 2: decode, collect, apply.
int32_t RunDrawCommand();

// Stores the handler of command 2 in the command table.
void RegisterDrawCommandHandler();

}  // namespace korvel
