// What the shell and the display code tell the GPU path: a device reset is due (maximise and
// restore, display switches, a monitor change), and how window 0's frame sits on the screen.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvel {

struct GpuRequests {
  std::atomic<uint8_t> reset_requested{0};  // the only trigger of a device reset
  std::atomic<int8_t> frame_placement{0};   // FramePlacement 0..3
};

extern GpuRequests g_gpu_requests;

inline void RequestGpuReset() { g_gpu_requests.reset_requested.store(1); }

}  // namespace korvel
