// The window placement published to the main thread.
#include "core/published_placement.h"

#include <mutex>

#include "core/display_state.h"

namespace korvel {

namespace {

struct PublishedPlacement {
  std::mutex lock;
  WindowPlacement placement;
};

PublishedPlacement g_published;

}  // namespace

void PublishWindowPlacement() {
  WindowPlacement p;
  p.offset_x = g_display.offset_x;
  p.offset_y = g_display.offset_y;
  p.display_width = g_display.display_width;
  p.display_height = g_display.display_height;
  for (int i = 0; i < kWindowCount; ++i) {
    if (const WindowRecord* w = g_windows[i]) {
      p.logical_width[i] = w->logical_width;
      p.logical_height[i] = w->logical_height;
    }
  }
  std::lock_guard lock(g_published.lock);
  g_published.placement = p;
}

WindowPlacement PublishedWindowPlacement() {
  std::lock_guard lock(g_published.lock);
  return g_published.placement;
}

void ResetWindowPlacement() {
  std::lock_guard lock(g_published.lock);
  g_published.placement = WindowPlacement{};
}

}  // namespace korvel
