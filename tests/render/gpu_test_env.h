// Shared set-up of the GPU path's tests: window 0 with a root layer holding a known frame, the
// GPU drawing mode, and a device wrapper that fails what a test asks for.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/frame_step.h"
#include "core/gpu_requests.h"
#include "core/window_record.h"
#include "layer/layer_data.h"
#include "platform/gpu_device.h"
#include "render/drawing_mode.h"
#include "render/frame_presentation.h"
#include "render/gpu_capture.h"
#include "render/gpu_frame.h"
#include "render/gpu_lifecycle.h"
#include "render/gpu_state.h"
#include "render/gpu_tiles.h"
#include "support/platform/gpu_test_devices.h"

namespace korvel::test {

// The plan every device made during a test is wrapped with.
inline GpuFaultPlan g_gpu_plan;

inline std::unique_ptr<platform::GpuDevice> WrapWithPlan(
    std::unique_ptr<platform::GpuDevice> device) {
  return MakeFailingGpuDevice(std::move(device), g_gpu_plan);
}

// A frame of random bytes with alpha 255, `width` × `height`, in a layer buffer's shape.
inline std::vector<uint8_t> RandomFrame(int32_t width, int32_t height, uint32_t seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * 4 * (height + 1) + 4, 0);
  std::mt19937 rng(seed);
  for (size_t i = 0; i < static_cast<size_t>(width) * height * 4; ++i) {
    pixels[i] = (i % 4 == 3) ? 255 : static_cast<uint8_t>(rng());
  }
  return pixels;
}

// Window 0's root layer with a frame; the GPU path reset around it.
class GpuFrame {
 public:
  void Open(int32_t width, int32_t height, uint32_t seed) {
    width_ = width;
    height_ = height;
    InitEngineSettings();
    InitDisplayState();
    InitFrameState();
    SetWindowedDisplay(width, height);
    frame_.width = width;
    frame_.height = height;
    frame_.visible = 1;
    pixels_ = RandomFrame(width, height, seed);
    frame_.pixels = pixels_.data();
    node_.payload = &frame_;
    g_windows[0]->root_layer = &node_;
    InitFramePresentation();
    g_gpu_requests.reset_requested.store(0);
    g_gpu_requests.frame_placement.store(0);
  }
  void Close() {
    ReleaseGpuHook();
    platform::SetGpuDeviceWrapper(nullptr);
    ShutdownFramePresentation();
    if (g_windows[0] != nullptr) g_windows[0]->root_layer = nullptr;
    FreeWindowRecords();
  }
  // Presents frame `n`, marked changed as the compositor leaves it, or still (nothing changed).
  void Present(uint64_t n, bool changed = true) {
    frame_.needs_redraw = changed ? 1 : 0;
    frame_.frame_rect = changed ? DirtyRect{0, 0, width_ - 1, height_ - 1}
                                : DirtyRect{kEmptyRectMin, kEmptyRectMin, kEmptyRectMax,
                                            kEmptyRectMax};
    g_frame.frame_counter = n;
    EXPECT_EQ(PresentFrame(0), 0);
  }
  const std::vector<uint8_t>& pixels() const { return pixels_; }
  // Gives the root layer a new frame.
  void Replace(std::vector<uint8_t> pixels) {
    pixels_ = std::move(pixels);
    frame_.pixels = pixels_.data();
  }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

 private:
  int32_t width_ = 0, height_ = 0;
  LayerData frame_{};
  NamedTreeNode node_{};
  std::vector<uint8_t> pixels_;
};

// The dialog lines of a captured stderr, in order: "<title> | <text>" without the answer.
inline std::vector<std::string> DialogLines(const std::string& err) {
  std::vector<std::string> lines;
  const std::string tag = "korvel: dialog: ";
  size_t at = 0;
  while ((at = err.find(tag, at)) != std::string::npos) {
    const size_t end = err.find('\n', at);
    std::string line = err.substr(at + tag.size(), end - at - tag.size());
    const size_t last = line.rfind(" | ");
    if (last != std::string::npos) line.resize(last);
    lines.push_back(line);
    at = end;
  }
  return lines;
}

}  // namespace korvel::test
