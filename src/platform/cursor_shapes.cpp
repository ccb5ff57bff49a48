// The cursor shapes, forwarded to the active backend.
#include "platform/cursor_shapes.h"

#include "platform/backend.h"

namespace korvel::platform {

bool SetSystemCursor(SystemCursor cursor) {
  Backend* b = ActiveBackendObject();
  return b != nullptr && b->SetSystemCursor(cursor);
}

bool SetImageCursor(const uint8_t* bgra, int32_t width, int32_t height, int32_t hot_x,
                    int32_t hot_y) {
  if (bgra == nullptr || width <= 0 || height <= 0 || width > 1024 || height > 1024) return false;
  Backend* b = ActiveBackendObject();
  return b != nullptr && b->SetImageCursor(bgra, width, height, hot_x, hot_y);
}

}  // namespace korvel::platform
