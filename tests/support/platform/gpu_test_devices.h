// The test devices: a stand-in that succeeds without drawing, and a wrapper that fails one chosen
// call (and can keep the states drawn and each presented frame).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gpu_device.h"

namespace korvel::test {

// A device that succeeds at everything and draws nothing (a stand-in where no context exists).
std::unique_ptr<platform::GpuDevice> MakeStubGpuDevice();

// Forwards every call to `inner` (a stand-in when null) and fails `fail` on its `nth` use (1 is
// the first; 0 every use). Calls are counted in `log` when given.
struct GpuFaultPlan {
  platform::GpuCall fail = platform::GpuCall::kNone;
  int32_t nth = 0;
  uint64_t always_fail = 0;  // bit (1 << call) for calls that fail on every use
  int32_t* uses = nullptr;   // counts uses of `fail` across devices (a reset makes a new one)
  std::vector<platform::GpuCall>* log = nullptr;
  std::vector<platform::GpuDrawState>* draws = nullptr;  // the states of every quad drawn
  // Present reads the drawable back into this first (the frame as drawn), when given.
  std::vector<uint8_t>* presented = nullptr;
  int32_t presented_width = 0, presented_height = 0;
};
std::unique_ptr<platform::GpuDevice> MakeFailingGpuDevice(
    std::unique_ptr<platform::GpuDevice> inner, const GpuFaultPlan& plan);

}  // namespace korvel::test
