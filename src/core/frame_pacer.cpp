// The frame pacer, on the platform's wrapping millisecond clock.
#include "core/frame_pacer.h"

#include "platform/platform.h"

namespace korvel {

FramePacer g_pacer;

namespace {

// A frame this late is forgiven: the pacer starts over from now.
constexpr uint32_t kLagForgiven = 250;

void CountLoopFrame(FramePacer* pacer) {
  if (pacer->last_stamp / 1000 != pacer->second_stamp / 1000) {
    pacer->last_loop_frames = pacer->loop_frames;
    pacer->last_drawn_frames = pacer->drawn_frames;
    pacer->drawn_frames = 0;
    pacer->second_stamp = pacer->last_stamp;
    pacer->loop_frames = 0;
  }
  pacer->loop_frames += 1;
}

}  // namespace

void InitFramePacer() { g_pacer = FramePacer{}; }

bool SetFrameRate(int64_t fps) {
  if (fps < 1 || fps > 1000) return false;
  g_pacer.fps = static_cast<int32_t>(fps);
  return true;
}

uint32_t NextFramePeriod(FramePacer* pacer) {
  // 65536000 / fps is the period in 16.16 milliseconds; the fraction carries from frame to frame.
  const int32_t fps = (pacer->fps >= 1 && pacer->fps <= 1000) ? pacer->fps : 60;
  const uint32_t period16 = 65536000u / static_cast<uint32_t>(fps);
  pacer->accumulator = (pacer->accumulator & 0xFFFFu) + period16;
  return pacer->accumulator >> 16;
}

uint32_t WaitForNextFrame() {
  FramePacer* pacer = &g_pacer;
  const uint32_t period = NextFramePeriod(pacer);
  const uint32_t now = platform::NowMs();
  const uint32_t elapsed = now - pacer->reference;  // unsigned: a reference ahead of now is "late"
  uint32_t skip = 0;
  if (elapsed < period) {
    pacer->last_stamp = now;
    platform::SleepMs(period - elapsed);
    pacer->reference += period;
    pacer->last_stamp = platform::NowMs();
  } else {
    uint32_t lag = elapsed - period;
    if (lag >= kLagForgiven) lag = 0;
    skip = (lag >= 3 * period && pacer->skip_enabled != 0) ? 1 : 0;
    pacer->reference = now + lag;
    pacer->last_stamp = pacer->reference;
  }
  CountLoopFrame(pacer);
  return skip;
}

void CountDrawnFrame() { g_pacer.drawn_frames += 1; }

void ResetFramePacerClock() { g_pacer.reference = platform::NowMs(); }

}  // namespace korvel
