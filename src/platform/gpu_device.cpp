// The device seam: the generation counter every context draws from, and the wrapper a test may put
// around each new device.
#include "platform/gpu_device.h"

#include <atomic>

namespace korvel::platform {
namespace {

std::atomic<GpuDeviceWrapper> g_wrapper{nullptr};
std::atomic<uint32_t> g_generation{0};

}  // namespace

uint32_t NextGpuGeneration() { return g_generation.fetch_add(1) + 1; }

void SetGpuDeviceWrapper(GpuDeviceWrapper wrap) { g_wrapper.store(wrap); }

std::unique_ptr<GpuDevice> WrapGpuDevice(std::unique_ptr<GpuDevice> device) {
  const GpuDeviceWrapper wrap = g_wrapper.load();
  return wrap != nullptr ? wrap(std::move(device)) : std::move(device);
}

}  // namespace korvel::platform
