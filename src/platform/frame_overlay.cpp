// Overlays drawn over presented frames.
#include "platform/frame_overlay.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace korvel::platform {

namespace {

struct Overlay {
  WindowId window = kNoWindow;
  OverlayDraw draw = nullptr;
};

struct OverlayState {
  std::mutex lock;
  Overlay slots[static_cast<int>(OverlaySlot::kCount)];
  std::vector<uint8_t> copy;
};

OverlayState g_overlays;

}  // namespace

void SetFrameOverlay(OverlaySlot slot, WindowId window, OverlayDraw draw) {
  std::lock_guard lock(g_overlays.lock);
  Overlay& o = g_overlays.slots[static_cast<int>(slot)];
  o.window = draw != nullptr ? window : kNoWindow;
  o.draw = draw;
}

bool HasFrameOverlay(WindowId window) {
  std::lock_guard lock(g_overlays.lock);
  for (const Overlay& o : g_overlays.slots) {
    if (o.draw != nullptr && o.window == window) return true;
  }
  return false;
}

const uint8_t* ApplyFrameOverlays(WindowId window, const uint8_t* bgra, int32_t width,
                                  int32_t height, int32_t* pitch) {
  std::lock_guard lock(g_overlays.lock);
  bool any = false;
  for (const Overlay& o : g_overlays.slots) any = any || (o.draw != nullptr && o.window == window);
  if (!any || bgra == nullptr || width < 1 || height < 1 || *pitch < width * 4) return bgra;
  const size_t row = static_cast<size_t>(width) * 4;
  g_overlays.copy.resize(row * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(g_overlays.copy.data() + row * static_cast<size_t>(y),
                bgra + static_cast<size_t>(*pitch) * static_cast<size_t>(y), row);
  }
  for (const Overlay& o : g_overlays.slots) {
    if (o.draw != nullptr && o.window == window) {
      o.draw(g_overlays.copy.data(), width, height, static_cast<int32_t>(row));
    }
  }
  *pitch = static_cast<int32_t>(row);
  return g_overlays.copy.data();
}

void ResetFrameOverlays() {
  std::lock_guard lock(g_overlays.lock);
  for (Overlay& o : g_overlays.slots) o = Overlay{};
  g_overlays.copy.clear();
  g_overlays.copy.shrink_to_fit();
}

}  // namespace korvel::platform
