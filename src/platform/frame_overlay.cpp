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

bool InStrip(int slot) { return slot == static_cast<int>(OverlaySlot::kMenuBar); }

bool HasLocked(WindowId window, bool strip_too) {
  for (int i = 0; i < static_cast<int>(OverlaySlot::kCount); ++i) {
    const Overlay& o = g_overlays.slots[i];
    if (o.draw != nullptr && o.window == window && (strip_too || !InStrip(i))) return true;
  }
  return false;
}

void DrawLocked(WindowId window, uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                int32_t client_top) {
  for (const Overlay& o : g_overlays.slots) {
    if (o.draw != nullptr && o.window == window) o.draw(bgra, width, height, pitch, client_top);
  }
}

}  // namespace

void SetFrameOverlay(OverlaySlot slot, WindowId window, OverlayDraw draw) {
  std::lock_guard lock(g_overlays.lock);
  Overlay& o = g_overlays.slots[static_cast<int>(slot)];
  o.window = draw != nullptr ? window : kNoWindow;
  o.draw = draw;
}

bool HasFrameOverlay(WindowId window, bool strip_too) {
  std::lock_guard lock(g_overlays.lock);
  return HasLocked(window, strip_too);
}

const uint8_t* ApplyFrameOverlays(WindowId window, const uint8_t* bgra, int32_t width,
                                  int32_t height, int32_t* pitch) {
  std::lock_guard lock(g_overlays.lock);
  if (!HasLocked(window, false) || bgra == nullptr || width < 1 || height < 1 ||
      *pitch < width * 4) {
    return bgra;
  }
  const size_t row = static_cast<size_t>(width) * 4;
  g_overlays.copy.resize(row * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(g_overlays.copy.data() + row * static_cast<size_t>(y),
                bgra + static_cast<size_t>(*pitch) * static_cast<size_t>(y), row);
  }
  DrawLocked(window, g_overlays.copy.data(), width, height, static_cast<int32_t>(row), 0);
  *pitch = static_cast<int32_t>(row);
  return g_overlays.copy.data();
}

void DrawFrameOverlays(WindowId window, uint8_t* bgra, int32_t width, int32_t height,
                       int32_t pitch, int32_t client_top) {
  if (bgra == nullptr || width < 1 || height < 1 || pitch < width * 4 || client_top < 0) return;
  std::lock_guard lock(g_overlays.lock);
  DrawLocked(window, bgra, width, height, pitch, client_top);
}

void DrawStripOverlays(WindowId window, uint8_t* bgra, int32_t width, int32_t height,
                       int32_t pitch) {
  if (bgra == nullptr || width < 1 || height < 1 || pitch < width * 4) return;
  std::lock_guard lock(g_overlays.lock);
  for (int i = 0; i < static_cast<int>(OverlaySlot::kCount); ++i) {
    const Overlay& o = g_overlays.slots[i];
    if (InStrip(i) && o.draw != nullptr && o.window == window) {
      o.draw(bgra, width, height, pitch, height);
    }
  }
}

void ResetFrameOverlays() {
  std::lock_guard lock(g_overlays.lock);
  for (Overlay& o : g_overlays.slots) o = Overlay{};
  g_overlays.copy.clear();
  g_overlays.copy.shrink_to_fit();
}

}  // namespace korvel::platform
