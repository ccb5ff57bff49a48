// The drawing method.
#include "render/drawing_mode.h"

#include "core/engine_settings.h"

namespace korvel {

DrawingModeState g_drawing;

DrawingModeState DrawingModeForField(uint32_t field8) {
  switch (field8) {
    case 0: return DrawingModeState{3, 1, 1, 3};
    case 1: return DrawingModeState{2, 1, 1, 2};
    case 2: return DrawingModeState{1, 0, 1, 0};
    case 3: return DrawingModeState{0, 0, 0, 0};
    default: return DrawingModeState{};
  }
}

void InitDrawingMode() {
  g_drawing = g_settings.file_found ? DrawingModeForField(g_settings.fields[8])
                                    : DrawingModeState{};
}

void FallBackToCpuDrawing() { g_drawing = DrawingModeState{}; }

}  // namespace korvel
