// Command 55: the cursor's visibility mode, auto-hide delay, switches, position and shape, and the
// cursor or icon made from a layer.
#pragma once

#include <cstdint>

#include "platform/cursor_shapes.h"

namespace korvel {

struct LayerData;

inline constexpr uint8_t kCommandCursor = 55;

// The standard cursor of a script's number: 1 text beam ... 13 help, any other the arrow.
platform::SystemCursor StandardCursorFor(int64_t number);

// Checks a layer for a cursor or an icon of `width` x `height`: a layer of another size shows the
// size message ("CURSOR ERR." / "ICON ERR."); a layer without pixels makes nothing. True when the
// layer can be used.
bool LayerFitsIcon(const LayerData* layer, int32_t width, int32_t height, bool cursor);

// Decodes and runs command 55: 0, or -1 after a failed decode or layer path.
int32_t RunCursorCommand();

}  // namespace korvel
