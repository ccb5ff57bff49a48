// Frame presentation on the CPU path: once per frame each window's composed frame (the pixel
// buffer of its root layer) goes to its platform window, scaled to window 0's presentation size
// when that differs. The presenter copies bytes; it never blends.
#pragma once

#include <cstdint>
#include <vector>

#include "core/named_tree.h"
#include "core/window_record.h"
#include "pixel/frame_scalers.h"

namespace korvel {

// How a frame reaches the screen.
enum class PresentPath : uint8_t {
  kUnscaled = 0,        // the frame as it is
  kSmooth = 1,          // ScaleFrameSmooth into the scaled frame buffer
  kSmoothThreaded = 2,  // ScaleFrameSmoothThreaded into the scaled frame buffer
  kNearest = 3,         // ScaleFrameNearest into the scaled frame buffer
  kSystemStretch = 4,   // scaled without the scale option (the system's stretch: nearest here)
};

// What the choice depends on.
struct PresentInput {
  int32_t window = 0;  // 0 is the main window
  bool full_screen = false;
  bool maximised = false;
  uint8_t scale_option = 0;  // settings field 7 mapped to 1, 2, 3, 0 (0 off)
  bool smooth = true;
  bool threaded_smooth = true;  // SSE use allowed
  int32_t frame_width = 0, frame_height = 0;
  int32_t present_width = 0, present_height = 0;  // window 0's presentation size
  int32_t screen_width = 0, screen_height = 0;    // the client area (full screen or maximised)
};

// The path, where the image lands in the client area, and the size of the buffer that goes to
// the platform (the client area when the frame sits at an offset, else the image itself).
struct PresentPlan {
  PresentPath path = PresentPath::kUnscaled;
  int32_t dest_x = 0, dest_y = 0, dest_width = 0, dest_height = 0;
  int32_t canvas_width = 0, canvas_height = 0;
};

// Windows other than 0: unscaled at the origin. Window 0 in full screen or maximised state sits
// centred at ((screen - presentation) / 2), smooth with the scale option and smooth scaling or
// when maximised outside full screen, nearest with the scale option alone, else the system's
// stretch. Window 0 windowed: unscaled when the frame has the presentation size, else smooth or
// nearest by the smooth switch.
PresentPlan ChoosePresentation(const PresentInput& in);

// What window 0's last scaled present put on screen: the scale of the frame at its size onto the
// presentation size, placed in a canvas (or shown as it is when the canvas is the image).
struct ShownScale {
  PresentPath path = PresentPath::kUnscaled;
  int32_t frame_width = 0, frame_height = 0;
  PresentPlan plan;
  uint32_t buffer_generation = 0;
  // Scaled straight into the window system's picture of the window (no scaled frame buffer).
  bool in_window = false;
  bool operator==(const ShownScale& o) const {
    return path == o.path && in_window == o.in_window && frame_width == o.frame_width &&
           frame_height == o.frame_height &&
           plan.dest_x == o.plan.dest_x && plan.dest_y == o.plan.dest_y &&
           plan.dest_width == o.plan.dest_width && plan.dest_height == o.plan.dest_height &&
           plan.canvas_width == o.plan.canvas_width &&
           plan.canvas_height == o.plan.canvas_height &&
           buffer_generation == o.buffer_generation;
  }
};

struct PresentationState {
  uint8_t initialised = 0;
  uint8_t frame_shown[kWindowCount] = {};
  std::vector<uint8_t> canvas;  // client-sized buffer for offset frames and black paints
  // The window shows something other than the window's last frame (nothing yet, black, a scaled
  // or placed frame): the next unscaled frame goes whole, not just its changed part.
  uint8_t present_whole[kWindowCount] = {1, 1, 1, 1};
  // The GPU path of window 0: 0 drawn (or nothing to do), non-zero ends GPU drawing. Null: none.
  int32_t (*gpu_draw)(const uint8_t* pixels) = nullptr;
  // Called once when the GPU path's result ends GPU drawing (it releases the device).
  void (*gpu_fell_back)() = nullptr;
  // GPU drawing ended: window 0's next present shows its whole frame, changed or not.
  uint8_t gpu_redraw_pending = 0;
  // Window 0 shows `shown_scale` of its last frame, kept whole in the scaled frame buffer (and the
  // canvas): the next scaled present of the same shape scales and shows only what changed.
  uint8_t scaled_current = 0;
  ShownScale shown_scale;
  // The tables of the last scale, rebuilt when its filter or sizes change.
  FrameScaleTables scale_tables;
};

extern PresentationState g_presentation;

// Resets the presentation state, takes the drawing mode from the settings and installs the scaler
// jobs. PresentFrame does it on first use.
void InitFramePresentation();
// Frees the scaling buffer and the canvas.
void ShutdownFramePresentation();

// The frame step's hook, per window: a shown window whose root layer changed is drawn; a hidden
// window that showed a frame is painted black once. Non-zero asks for quitting.
int PresentFrame(int window);

// Draws one frame of the window from its root layer node.
void PresentFrameToWindow(int window, NamedTreeNode* frame);

}  // namespace korvel
