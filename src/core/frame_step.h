// The frame step: focus and mouse poll, input edges, script ticks, layer commits, composing,
// pacing, presentation and the popup menu, once per loop pass.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace korvel {

struct FrameState {
  std::atomic<uint8_t> suspend_flag{0};  // set while a close question is open
  uint64_t frame_counter = 0;
  uint64_t tick_counter = 0;
  std::atomic<uint32_t> repeat_tick{0};  // a command asks for another tick in this frame
  uint8_t skip_flag = 0;                 // the pacer's decision of the previous frame
  uint8_t first_frame_done = 0;
  uint32_t countdown_first = 0;          // set by the display code
  uint32_t countdown_border = 0;         // ends by taking the sizing border off
  int8_t redraw_countdown = 0;
  uint8_t popup_menu_request = 0;        // menu set index + ... (0 = none)
  int32_t popup_x = 0, popup_y = 0;
  // Draw condition inputs: settings field 0 and the movie flags.
  uint8_t draw_while_movie_closed_only = 0;  // settings field 0 = 0
  std::atomic<uint8_t> movie_open{0};
  std::atomic<uint8_t> movie_playing{0};
  // Focus and mouse poll results. The main thread writes the snapshot; the frame step (possibly on
  // the game thread) copies it under the lock.
  std::atomic<int32_t> focus_window{-1};
  std::mutex key_snapshot_lock;
  uint8_t key_snapshot[1024] = {};
  // Window 0's screen buffer: width × 4 × height + width × 4 + 4 bytes.
  std::vector<uint8_t> screen_buffer;
  int32_t screen_width = 0, screen_height = 0;
};

extern FrameState g_frame;

void InitFrameState();

void PollMouseAndKeyboardFocus();
// One frame; non-zero asks for quitting.
int32_t RunFrame();
// Headless, while the scripts are held by the engine's pause: one more frame passes without
// running them, so the scripted input of the next frame is applied (a focus that comes back) and
// the frame limit still ends the run. True when that limit is reached (the quit flag is then set).
bool StepHeldHeadlessFrame();
void UpdateFullScreenMenuBar();
// Composing and presentation run only while this holds (movie flags and settings field 0).
bool DrawConditionHolds();

// (Re)allocates window 0's screen buffer for a client of width × height. Reports 100010 (with the
// size message) for a side above 8192 and 104030 when memory runs out; returns 0 or -1.
int AllocateScreenBuffer(int32_t width, int32_t height);
// Default presentation: shows window 0's screen buffer.
int PresentScreenBuffer(int window);

}  // namespace korvel
