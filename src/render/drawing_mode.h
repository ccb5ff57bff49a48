// The drawing method, fixed at start-up from settings field 8: GPU drawing with one of two frame
// effects, or CPU drawing with smooth or nearest scaling. It can only fall back from GPU to CPU.
#pragma once

#include <cstdint>

namespace korvel {

struct DrawingModeState {
  int8_t mode = 0;      // 3 GPU ps_3_0 effect, 2 GPU ps_2_0 effect, 1 CPU smooth, 0 CPU nearest
  uint8_t gpu = 0;      // GPU drawing
  uint8_t smooth = 1;   // smooth scaling
  uint8_t effect = 0;   // 0 none, 3 the ps_3_0 effect, 2 the ps_2_0 effect
};

extern DrawingModeState g_drawing;

// The state settings field 8 selects: 0 -> mode 3, 1 -> 2, 2 -> 1, 3 -> 0; any other value keeps
// the defaults (mode 0, smooth on, GPU off).
DrawingModeState DrawingModeForField(uint32_t field8);

// From the settings read at start-up (defaults when the settings file is missing).
void InitDrawingMode();

// GPU drawing failed: CPU drawing with smooth scaling for the rest of the run.
void FallBackToCpuDrawing();

}  // namespace korvel
