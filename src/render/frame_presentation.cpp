// Frame presentation, CPU path.
#include "render/frame_presentation.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/engine_state.h"
#include "core/frame_step.h"
#include "layer/dirty_rects.h"
#include "layer/layer_data.h"
#include "layer/layer_record.h"
#include "platform/platform.h"
#include "render/display_hooks.h"
#include "render/drag_snapshot.h"
#include "render/drawing_mode.h"
#include "pixel/frame_scalers.h"
#include "render/scaled_frame_buffer.h"

namespace korvel {

PresentationState g_presentation;

namespace {

const LayerData* FrameOf(const NamedTreeNode* node) {
  return node != nullptr ? static_cast<const LayerData*>(node->payload) : nullptr;
}

bool FrameUsable(const LayerData* f) {
  return f != nullptr && f->pixels != nullptr && f->width >= 1 && f->height >= 1 &&
         f->width <= 8192 && f->height <= 8192;
}

// The client area of a platform window (0 x 0 when unknown).
void ClientSize(platform::WindowId handle, int32_t* width, int32_t* height) {
  platform::Rect r;
  *width = *height = 0;
  if (platform::GetClientRect(handle, &r)) {
    *width = r.right - r.left;
    *height = r.bottom - r.top;
  }
}

// A zero-filled canvas of width x height (both at least 1), or null.
uint8_t* ZeroCanvas(int32_t width, int32_t height) {
  // Window 0's kept scale may live in the canvas: it is gone now.
  g_presentation.scaled_current = 0;
  if (width < 1 || height < 1 || width > 16384 || height > 16384) return nullptr;
  g_presentation.canvas.assign(static_cast<size_t>(width) * 4 * static_cast<size_t>(height), 0);
  return g_presentation.canvas.data();
}

// Copies an image into the canvas at (x, y), clipped to the canvas.
void PlaceImage(uint8_t* canvas, int32_t cw, int32_t ch, const uint8_t* image, int32_t iw,
                int32_t ih, int32_t x, int32_t y) {
  const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int32_t x1 = std::min(x + iw, cw), y1 = std::min(y + ih, ch);
  if (x0 >= x1 || y0 >= y1) return;
  for (int32_t row = y0; row < y1; ++row) {
    std::memcpy(canvas + (static_cast<size_t>(row) * cw + x0) * 4,
                image + (static_cast<size_t>(row - y) * iw + (x0 - x)) * 4,
                static_cast<size_t>(x1 - x0) * 4);
  }
}

// Paints a window black once (it was showing a frame and is now hidden).
void PaintBlack(const WindowRecord* w) {
  int32_t width = 0, height = 0;
  ClientSize(w->handle, &width, &height);
  if (width < 1 || height < 1) {
    width = w->logical_width;
    height = w->logical_height;
  }
  if (uint8_t* canvas = ZeroCanvas(width, height)) {
    platform::PresentFrame(w->handle, canvas, width, height, width * 4, g_frame.frame_counter);
  }
  g_presentation.present_whole[w->index] = 1;
  if (w->index == 0) g_presentation.scaled_current = 0;
}

// The parts of the frame that changed in this frame, clipped to the frame, as window rectangles:
// the compositor's disjoint parts when it kept them apart, else its bounding rectangle.
int32_t ChangedParts(const LayerData& frame, platform::Rect* out) {
  const int32_t fw = frame.width, fh = frame.height;
  const auto clip = [fw, fh](const DirtyRect& d) {
    return platform::Rect{static_cast<int32_t>(std::clamp<int64_t>(d.x0, 0, fw)),
                          static_cast<int32_t>(std::clamp<int64_t>(d.y0, 0, fh)),
                          static_cast<int32_t>(std::clamp<int64_t>(d.x1 + 1, 0, fw)),
                          static_cast<int32_t>(std::clamp<int64_t>(d.y1 + 1, 0, fh))};
  };
  if (DirtyPartsSplit(frame.frame_parts, frame.frame_rect)) {
    for (int32_t i = 0; i < frame.frame_parts.count; ++i) out[i] = clip(frame.frame_parts.rects[i]);
    return frame.frame_parts.count;
  }
  out[0] = clip(frame.frame_rect);
  return 1;
}

FrameFilter FilterOf(PresentPath path) {
  switch (path) {
    case PresentPath::kSmooth:
      return FrameFilter::kSmooth;
    case PresentPath::kSmoothThreaded:
      return FrameFilter::kSmoothThreaded;
    default:
      return FrameFilter::kNearest;  // the scale option's nearest and the system's stretch
  }
}

// The scale tables of the frame and plan, rebuilt when the filter or a size changed.
const FrameScaleTables* TablesFor(FrameFilter filter, int32_t fw, int32_t fh, int32_t dw,
                                  int32_t dh) {
  FrameScaleTables& t = g_presentation.scale_tables;
  if (t.filter != filter || t.src_width != fw || t.src_height != fh || t.dst_width != dw ||
      t.dst_height != dh || t.col_sources.empty()) {
    t = FrameScaleTables{};
    if (!BuildFrameScaleTables(filter, fw, fh, dw, dh, &t)) {
      t = FrameScaleTables{};
      return nullptr;
    }
  }
  return &t;
}

// Copies the part `r` of an image into the canvas at offset (x, y); returns the canvas
// rectangle written (clipped to the canvas, possibly empty).
platform::Rect PlacePart(uint8_t* canvas, int32_t cw, int32_t ch, const uint8_t* image,
                         int32_t iw, const ScaleRect& r, int32_t x, int32_t y) {
  const int32_t x0 = std::max(r.x0 + x, 0), y0 = std::max(r.y0 + y, 0);
  const int32_t x1 = std::min(r.x1 + x, cw), y1 = std::min(r.y1 + y, ch);
  if (x0 >= x1 || y0 >= y1) return platform::Rect{};
  for (int32_t row = y0; row < y1; ++row) {
    std::memcpy(canvas + (static_cast<size_t>(row) * cw + x0) * 4,
                image + (static_cast<size_t>(row - y) * iw + (x0 - x)) * 4,
                static_cast<size_t>(x1 - x0) * 4);
  }
  return platform::Rect{x0, y0, x1, y1};
}

// What DrawScaledInWindow scales: the frame's changed parts through the tables.
struct ScaledDraw {
  const FrameScaleTables* tables = nullptr;
  const uint8_t* frame = nullptr;
  const platform::Rect* changed = nullptr;
  int32_t count = 0;
};

// Scales into the window's own picture: the whole frame, or the destination parts the changed
// parts reach (the whole frame when there are more parts than rectangles to show).
int32_t DrawScaledInWindow(void* context, const platform::FrameDrawTarget& target,
                           platform::Rect* rects, int32_t capacity) {
  const ScaledDraw& d = *static_cast<const ScaledDraw*>(context);
  const FrameScaleTables& t = *d.tables;
  const auto pitch = static_cast<size_t>(target.pitch);
  if (target.whole || d.count > capacity) {
    ScaleFramePart(t, target.pixels, pitch, d.frame, ScaleRect{0, 0, t.dst_width, t.dst_height});
    rects[0] = platform::Rect{0, 0, t.dst_width, t.dst_height};
    return 1;
  }
  int32_t shown = 0;
  for (int32_t i = 0; i < d.count; ++i) {
    const platform::Rect& c = d.changed[i];
    const ScaleRect part = ScaledPartOf(t, ScaleRect{c.left, c.top, c.right, c.bottom});
    if (part.Empty()) continue;
    ScaleFramePart(t, target.pixels, pitch, d.frame, part);
    rects[shown++] = platform::Rect{part.x0, part.y0, part.x1, part.y1};
  }
  return shown;
}

// Window 0 scaled to the presentation size into the scaled frame buffer, then shown as it is or
// placed in the canvas. When the window already shows this scale of the previous frame, only the
// destination parts the frame's changed parts reach are scaled, copied and shown; the buffer (and
// canvas) then hold exactly the whole scale of this frame.
void PresentScaled(const WindowRecord* w, const LayerData* frame, const PresentPlan& plan) {
  const bool current = g_presentation.scaled_current != 0;
  g_presentation.scaled_current = 0;
  const int32_t fw = frame->width, fh = frame->height;
  const int32_t dw = plan.dest_width, dh = plan.dest_height;
  const FrameScaleTables* tables = TablesFor(FilterOf(plan.path), fw, fh, dw, dh);
  if (tables == nullptr) return;
  ShownScale shape;
  shape.path = plan.path;
  shape.frame_width = fw;
  shape.frame_height = fh;
  shape.plan = plan;
  const bool in_place = plan.dest_x == 0 && plan.dest_y == 0 && plan.canvas_width == dw &&
                        plan.canvas_height == dh;
  platform::Rect changed[kDirtyPartCapacity];
  const int32_t count = ChangedParts(*frame, changed);
  // A change covering the whole frame (a repaint) shows the whole window.
  const bool all_changed = count == 1 && changed[0].left == 0 && changed[0].top == 0 &&
                           changed[0].right == fw && changed[0].bottom == fh;
  if (in_place) {
    // Scaled straight into the window's picture when the window keeps one of this size: no
    // scaled frame buffer, no copy.
    shape.in_window = true;
    const bool whole = !current || !(g_presentation.shown_scale == shape) || all_changed;
    ScaledDraw draw{tables, frame->pixels, changed, count};
    if (platform::DrawFrameInPlace(w->handle, dw, dh, g_frame.frame_counter, whole,
                                   DrawScaledInWindow, &draw)) {
      g_presentation.present_whole[0] = 1;
      g_presentation.shown_scale = shape;
      g_presentation.scaled_current = 1;
      return;
    }
    shape.in_window = false;
  }
  uint8_t* scaled = EnsureScaledFrameBuffer(dw, dh);
  if (scaled == nullptr) return;
  shape.buffer_generation = g_scaled_frame.generation;
  const bool canvas_kept =
      in_place || g_presentation.canvas.size() ==
                      static_cast<size_t>(plan.canvas_width) * 4 *
                          static_cast<size_t>(std::max(plan.canvas_height, 0));
  const bool whole =
      !current || !(g_presentation.shown_scale == shape) || !canvas_kept || all_changed;
  if (whole) {
    ScaleFramePart(*tables, scaled, frame->pixels, ScaleRect{0, 0, dw, dh});
    if (in_place) {
      platform::PresentFrame(w->handle, scaled, dw, dh, dw * 4, g_frame.frame_counter);
    } else {
      uint8_t* canvas = ZeroCanvas(plan.canvas_width, plan.canvas_height);
      if (canvas == nullptr) return;
      PlaceImage(canvas, plan.canvas_width, plan.canvas_height, scaled, dw, dh, plan.dest_x,
                 plan.dest_y);
      platform::PresentFrame(w->handle, canvas, plan.canvas_width, plan.canvas_height,
                             plan.canvas_width * 4, g_frame.frame_counter);
    }
    // The unscaled path's next frame goes whole; the next scaled one may go by parts.
    g_presentation.present_whole[0] = 1;
    g_presentation.shown_scale = shape;
    g_presentation.scaled_current = 1;
    return;
  }
  platform::Rect shown[kDirtyPartCapacity];
  int32_t shown_count = 0;
  for (int32_t i = 0; i < count; ++i) {
    const ScaleRect part = ScaledPartOf(
        *tables, ScaleRect{changed[i].left, changed[i].top, changed[i].right, changed[i].bottom});
    if (part.Empty()) continue;
    ScaleFramePart(*tables, scaled, frame->pixels, part);
    platform::Rect r{part.x0, part.y0, part.x1, part.y1};
    if (!in_place) {
      r = PlacePart(g_presentation.canvas.data(), plan.canvas_width, plan.canvas_height, scaled,
                    dw, part, plan.dest_x, plan.dest_y);
      if (r.right <= r.left || r.bottom <= r.top) continue;
    }
    shown[shown_count++] = r;
  }
  g_presentation.present_whole[0] = 1;
  g_presentation.scaled_current = 1;
  if (shown_count == 0) return;  // nothing that reaches the screen changed
  const uint8_t* image = in_place ? scaled : g_presentation.canvas.data();
  const int32_t iw = in_place ? dw : plan.canvas_width;
  const int32_t ih = in_place ? dh : plan.canvas_height;
  platform::PresentFrameRects(w->handle, image, iw, ih, iw * 4, g_frame.frame_counter,
                              std::span<const platform::Rect>(shown, shown_count));
}

}  // namespace

PresentPlan ChoosePresentation(const PresentInput& in) {
  PresentPlan plan;
  const auto scaled = [&in](PresentPath path) {
    return path == PresentPath::kSmooth && in.threaded_smooth ? PresentPath::kSmoothThreaded
                                                              : path;
  };
  if (in.window != 0) {
    plan.dest_width = plan.canvas_width = in.frame_width;
    plan.dest_height = plan.canvas_height = in.frame_height;
    return plan;
  }
  if (in.full_screen || in.maximised) {
    plan.dest_x = (in.screen_width - in.present_width) / 2;
    plan.dest_y = (in.screen_height - in.present_height) / 2;
    plan.dest_width = in.present_width;
    plan.dest_height = in.present_height;
    plan.canvas_width = in.screen_width;
    plan.canvas_height = in.screen_height;
    const bool option = in.scale_option != 0;
    if ((option && in.smooth) || (in.maximised && !in.full_screen)) {
      plan.path = scaled(PresentPath::kSmooth);
    } else if (option) {
      plan.path = PresentPath::kNearest;
    } else {
      plan.path = PresentPath::kSystemStretch;
    }
    return plan;
  }
  plan.dest_width = plan.canvas_width = in.present_width;
  plan.dest_height = plan.canvas_height = in.present_height;
  if (in.frame_width == in.present_width && in.frame_height == in.present_height) {
    plan.path = PresentPath::kUnscaled;
  } else {
    plan.path = in.smooth ? scaled(PresentPath::kSmooth) : PresentPath::kNearest;
  }
  return plan;
}

void InitFramePresentation() {
  ShutdownFramePresentation();
  g_presentation = PresentationState{};
  InitDrawingMode();
  g_presentation.initialised = 1;
}

void ShutdownFramePresentation() {
  ReleaseScaledFrameBuffer();
  g_presentation.canvas.clear();
  g_presentation.canvas.shrink_to_fit();
  ClearDragSnapshot();
  g_presentation.initialised = 0;
}

namespace {

// Window 0 drawn through the GPU path. True when nothing is left for the CPU to show this frame:
// the GPU drew it, or it fell back here and the CPU shows the whole frame next frame.
bool PresentThroughGpu(const LayerData* frame) {
  g_presentation.scaled_current = 0;
  const bool has_gpu = g_presentation.gpu_draw != nullptr;
  if (has_gpu && g_presentation.gpu_draw(frame->pixels) == 0 && g_drawing.gpu != 0) return true;
  if (g_drawing.gpu != 0 && g_presentation.gpu_fell_back != nullptr) {
    g_presentation.gpu_fell_back();
  }
  FallBackToCpuDrawing();
  if (!has_gpu) return false;
  // GPU drawing ended here or inside the GPU path: the next frame shows the whole frame through
  // the CPU, also when nothing changes.
  g_presentation.gpu_redraw_pending = 1;
  return true;
}

// What the choice of presentation looks at: the window's state, the drawing settings and sizes.
PresentInput DescribePresentation(int window, const WindowRecord* w, const LayerData* frame,
                                  int32_t present_w, int32_t present_h) {
  PresentInput in;
  in.window = window;
  in.full_screen = g_display.full_screen != 0;
  in.maximised = g_display.maximised != 0;
  in.scale_option = g_settings.scaling_mode;
  in.smooth = g_drawing.smooth != 0;
  in.threaded_smooth = g_settings.sse_allowed != 0;
  in.frame_width = frame->width;
  in.frame_height = frame->height;
  in.present_width = present_w;
  in.present_height = present_h;
  if (in.full_screen || in.maximised) ClientSize(w->handle, &in.screen_width, &in.screen_height);
  return in;
}

// The frame at its own size: only what changed when it fills the window as it is, else placed
// whole on a cleared canvas.
void PresentUnscaled(int window, const WindowRecord* w, const LayerData* frame,
                     const PresentPlan& plan) {
  if (window == 0) g_presentation.scaled_current = 0;
  const uint8_t* image = frame->pixels;
  const int32_t iw = frame->width, ih = frame->height;
  if (plan.dest_x == 0 && plan.dest_y == 0 && plan.canvas_width == iw &&
      plan.canvas_height == ih) {
    if (g_presentation.present_whole[window] == 0) {
      // Shown as it is: only what changed in this frame goes to the window system, part by part
      // when the changes lie apart.
      platform::Rect changed[kDirtyPartCapacity];
      const int32_t count = ChangedParts(*frame, changed);
      platform::PresentFrameRects(w->handle, image, iw, ih, iw * 4, g_frame.frame_counter,
                                  std::span<const platform::Rect>(changed, count));
      return;
    }
    platform::PresentFrame(w->handle, image, iw, ih, iw * 4, g_frame.frame_counter);
    g_presentation.present_whole[window] = 0;
    return;
  }
  g_presentation.present_whole[window] = 1;
  uint8_t* canvas = ZeroCanvas(plan.canvas_width, plan.canvas_height);
  if (canvas == nullptr) return;
  PlaceImage(canvas, plan.canvas_width, plan.canvas_height, image, iw, ih, plan.dest_x,
             plan.dest_y);
  platform::PresentFrame(w->handle, canvas, plan.canvas_width, plan.canvas_height,
                         plan.canvas_width * 4, g_frame.frame_counter);
}

}  // namespace

void PresentFrameToWindow(int window, NamedTreeNode* frame_node) {
  const WindowRecord* w = g_windows[window];
  const LayerData* frame = FrameOf(frame_node);
  if (QuitRequested() || w == nullptr || !FrameUsable(frame)) return;
  const DirtyRect& r = frame->frame_rect;
  if (r.x1 - r.x0 + 1 <= 0 || r.y1 - r.y0 + 1 <= 0) return;

  int32_t present_w = frame->width, present_h = frame->height;
  if (window == 0) {
    if (g_display.display_width > 0) present_w = g_display.display_width;
    if (g_display.display_height > 0) present_h = g_display.display_height;
  }
  if (present_w <= 0 || present_h <= 0) return;
  if (window == 0 && g_drawing.gpu != 0 && PresentThroughGpu(frame)) return;

  const PresentPlan plan =
      ChoosePresentation(DescribePresentation(window, w, frame, present_w, present_h));
  if (plan.path != PresentPath::kUnscaled) {
    PresentScaled(w, frame, plan);
    return;
  }
  PresentUnscaled(window, w, frame, plan);
}

int PresentFrame(int window) {
  if (g_presentation.initialised == 0) InitFramePresentation();
  if (window < 0 || window >= kWindowCount) return QuitRequested() ? 1 : 0;
  // Once a frame, on this thread: the drag layer as the main thread's hit test will see it.
  if (window == 0) UpdateDragSnapshot();
  const WindowRecord* w = g_windows[window];
  const bool open = w != nullptr && w->handle != platform::kNoWindow;
  LayerData* root = open && w->root_layer != nullptr
                        ? static_cast<LayerData*>(w->root_layer->payload)
                        : nullptr;
  // A paint or activation of window 0 shows its whole frame again.
  if (window == 0 && root != nullptr && g_repaint_pending.exchange(0) != 0) {
    SetWholeFrameRect(root);
    root->needs_redraw = 1;
  }
  if (root != nullptr && root->visible != 0) {
    if (window == 0 && g_presentation.gpu_redraw_pending != 0) {
      g_presentation.gpu_redraw_pending = 0;
      root->needs_redraw = 1;
      SetWholeFrameRect(root);
    }
    if (root->needs_redraw != 0) {
      g_presentation.frame_shown[window] = 1;
      PresentFrameToWindow(window, w->root_layer);
    }
  } else if (g_presentation.frame_shown[window] != 0) {
    g_presentation.frame_shown[window] = 0;
    if (open) PaintBlack(w);
  }
  return QuitRequested() ? 1 : 0;
}

}  // namespace korvel
