// Script command 1: create a layer (image or group), load an image into it, share another layer's
// record, apply an alpha mask, and set placement, order, size, visibility, opacity, mask, blend
// mode and the stored values. Split into the argument decoding and the apply step.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

inline constexpr uint8_t kCommandLayer = 1;
inline constexpr uint8_t kCommandReleaseLayer = 3;
inline constexpr int kLayerCommandSlots = 39;

// Keyword slots of command 1.
enum : uint8_t {
  kLayerPath = 0, kLayerVisible = 1, kLayerOpacity = 2, kLayerX = 3, kLayerY = 4,
  kLayerOrder = 5, kLayerWidth = 6, kLayerHeight = 7, kLayerDesignated = 12, kLayerCapture = 13,
  kLayerGpuPlacement = 14, kLayerReals = 18, kLayerSlot21 = 21, kLayerSlot22 = 22,
  kLayerSlot23 = 23, kLayerColour = 24, kLayerSlot25 = 25, kLayerSecondString = 26,
  kLayerSlot27 = 27, kLayerSlot28 = 28, kLayerImage = 29, kLayerShare = 30, kLayerAlphaMask = 31,
  kLayerMaskLevel = 33, kLayerMaskPath = 34, kLayerMaskRamp = 35, kLayerBlendMode = 36,
  kLayerSlot38 = 38,
};

// The decoded keywords of one command: whether each slot was given, its value and operation
// (0 set, 1 add, 2 subtract, 3 multiply, 4 divide), and the text of string slots.
struct LayerCommandArgs {
  bool given[kLayerCommandSlots] = {};
  int64_t value[kLayerCommandSlots] = {};
  uint8_t op[kLayerCommandSlots] = {};
  std::string text[kLayerCommandSlots];

  LayerCommandArgs& Set(uint8_t slot, int64_t v, uint8_t operation = 0) {
    given[slot] = true;
    value[slot] = v;
    op[slot] = operation;
    return *this;
  }
  LayerCommandArgs& Text(uint8_t slot, std::string_view t) {
    given[slot] = true;
    text[slot] = std::string(t);
    return *this;
  }
};

// Copies the decoded arguments of the running command (g_args) into `out`.
void CollectLayerCommandArgs(LayerCommandArgs* out);

// Carries out command 1. 0, or -1 after a reported error (the task's turn ends).
int32_t ApplyLayerCommand(const LayerCommandArgs& args);

// The handler of command 1: decode, collect, apply. 0 goes on, -1 ends the turn.
int32_t RunLayerCommand();

// Stores the handlers of commands 1 and 3 in the command table (before the script data loads).
void RegisterLayerCommandHandlers();

}  // namespace korvel
