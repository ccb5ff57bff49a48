// The menu bar: set 0 built from a menu node, drawn by the engine in the strip above the window's
// client area (windowed) or in the menu-bar window at the top edge (full screen), opened with the
// mouse, and chosen from by headless input.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "commands/menu_draw.h"
#include "commands/menu_sets.h"
#include "platform/platform.h"

namespace korvel {

struct MenuBarState {
  std::mutex lock;  // never held across a platform call
  int32_t window_index = -1;  // engine window holding the bar; -1: none installed
  platform::WindowId strip_window = platform::kNoWindow;  // window with the reserved strip
  platform::WindowId bar_window = platform::kNoWindow;    // full-screen menu-bar window
  MenuSet menus;  // set 0 as installed
  MenuLayout layout;
  std::vector<uint8_t> pixels;  // layout.width × kMenuBarHeight
  int32_t hot = -1;
  bool drawn = false;      // pixels show `menus` and `hot`
  bool presented = false;  // the window shows the current pixels
  // A menu opened from the bar covered the frame: the frame step redraws the window's root layer.
  std::atomic<bool> repaint_requested{false};
};

extern MenuBarState g_menu_bar;

// Under g_menu_bar.lock: draws the bar's pixels when they are stale.
void DrawMenuBarLocked();

void InitMenuBar();
// Removes the bar from its window and closes the full-screen bar window.
void ShutdownMenuBar();

// Builds the bar of window `window` (0..3) from the menu node `name`: an empty name removes the
// bar; an unknown node is script error 101250 (fatal); a tree needing more menus than a set holds
// installs no bar. 0, or -1 on failure.
int32_t RebuildMenuBar(const char* name, int32_t window);

// After window `window`'s frame was presented (frame-step thread): shows the bar again where it
// changed or the window asked for a repaint.
void PresentWindowMenuBar(int32_t window);

// The bar's share of the events (main thread): presses on the bar open its menus; true when the
// event was the bar's.
bool HandleMenuBarEvent(const platform::Event& event);

// Shows or hides the full-screen menu-bar window; hiding marks window 0's root layer wholly
// changed, since the bar covered part of it.
void ShowFullScreenMenuBar(bool show);

// Before window `window`'s frame is presented (frame-step thread): when a menu covered the frame,
// the whole of it is shown again.
void RepaintFrameUnderMenus(int32_t window);

// Marks window `window`'s root layer wholly changed (frame-step thread): its frame is composed and
// shown whole next time.
void MarkRootLayerWhollyChanged(int32_t window);

// The command chosen from the bar by a headless `menu` input line, when the bar offers it.
uint32_t ChooseFromMenuBar(uint32_t command);

}  // namespace korvel
