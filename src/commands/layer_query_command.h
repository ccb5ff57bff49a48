// Command 4: one property or one pixel of a layer into a variable element.
#pragma once

#include <cstdint>

namespace korvel {

struct LayerData;

inline constexpr uint8_t kCommandLayerQuery = 4;

// The box around the pixels whose alpha is not 0: rows and columns, all -1 when there is none.
struct VisibleBox {
  int64_t top = -1, bottom = -1, left = -1, right = -1;
};
// Scans a layer's pixels; a layer without pixels has no box.
VisibleBox FindVisibleBox(const LayerData* layer);

// Decodes and runs command 4: 0, or -1 after a failed decode, path or query 17.
int32_t RunLayerQueryCommand();

}  // namespace korvel
