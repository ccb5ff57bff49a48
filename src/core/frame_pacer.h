// The frame pacer: keeps the frame rate, sleeps the rest of each frame period and decides when the
// next frame's composing and presentation are skipped to catch up.
#pragma once

#include <cstdint>

namespace korvel {

struct FramePacer {
  int32_t fps = 60;
  uint32_t skip_enabled = 1;     // frame skipping (a script command turns it off)
  uint32_t reference = 0;        // time the current frame period started (ms)
  uint32_t accumulator = 0;      // 16.16 period accumulator; only the low 16 bits carry over
  uint32_t last_stamp = 0;
  uint32_t second_stamp = 0;
  uint32_t loop_frames = 0;      // frames of the current second
  uint32_t drawn_frames = 0;
  uint32_t last_loop_frames = 0;  // counts of the last completed second
  uint32_t last_drawn_frames = 0;
};

extern FramePacer g_pacer;

void InitFramePacer();
// Sets the frame rate; values outside 1..1000 are refused (false, rate unchanged).
bool SetFrameRate(int64_t fps);
// The pacer's period in ms for the next frame, advancing the accumulator.
uint32_t NextFramePeriod(FramePacer* pacer);
// Sleeps the rest of the frame period; returns 1 when the next frame is to skip drawing.
uint32_t WaitForNextFrame();
// Counts a presented frame.
void CountDrawnFrame();
// Restarts the period from now, so time spent loading is not counted as lag.
void ResetFramePacerClock();

}  // namespace korvel
