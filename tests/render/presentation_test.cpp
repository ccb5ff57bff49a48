// Frame presentation: the choice of path and destination as a table, the drawing mode from the
// settings, and frames presented through the headless platform, read back from its PNG dumps.
#include "render/frame_presentation.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/engine_state.h"
#include "core/frame_step.h"
#include "core/project_config.h"
#include "core/window_record.h"
#include "engine_fixture.h"
#include "layer/dirty_rects.h"
#include "layer/layer_data.h"
#include "pixel/worker_pool.h"
#include "platform/frame_overlay.h"
#include "platform/platform.h"
#include "png_pixels.h"
#include "render/screen_state.h"
#include "render/display_hooks.h"
#include "render/drawing_mode.h"
#include "pixel/frame_scalers.h"
#include "test_support.h"

namespace korvel {
namespace {

TEST(PresentationChoiceTest, Table) {
  using P = PresentPath;
  struct Case {
    const char* what;
    PresentInput in;
    PresentPlan plan;
  };
  auto input = [](int window, bool fs, bool max, uint8_t scale, bool smooth, bool sse, int fw,
                  int fh, int pw, int ph, int sw, int sh) {
    PresentInput in;
    in.window = window;
    in.full_screen = fs;
    in.maximised = max;
    in.scale_option = scale;
    in.smooth = smooth;
    in.threaded_smooth = sse;
    in.frame_width = fw;
    in.frame_height = fh;
    in.present_width = pw;
    in.present_height = ph;
    in.screen_width = sw;
    in.screen_height = sh;
    return in;
  };
  auto plan = [](P path, int x, int y, int w, int h, int cw, int ch) {
    return PresentPlan{path, x, y, w, h, cw, ch};
  };
  const Case cases[] = {
      {"window 1 is never scaled", input(1, true, true, 1, true, true, 320, 240, 640, 480, 0, 0),
       plan(P::kUnscaled, 0, 0, 320, 240, 320, 240)},
      {"windowed, same size", input(0, false, false, 1, true, true, 640, 480, 640, 480, 0, 0),
       plan(P::kUnscaled, 0, 0, 640, 480, 640, 480)},
      {"windowed, smaller, smooth", input(0, false, false, 0, true, true, 640, 480, 320, 240, 0, 0),
       plan(P::kSmoothThreaded, 0, 0, 320, 240, 320, 240)},
      {"windowed, smooth without SSE",
       input(0, false, false, 0, true, false, 640, 480, 320, 240, 0, 0),
       plan(P::kSmooth, 0, 0, 320, 240, 320, 240)},
      {"windowed, nearest", input(0, false, false, 1, false, true, 640, 480, 1280, 960, 0, 0),
       plan(P::kNearest, 0, 0, 1280, 960, 1280, 960)},
      {"full screen, scale option, smooth",
       input(0, true, false, 2, true, true, 640, 480, 1440, 1080, 1920, 1080),
       plan(P::kSmoothThreaded, 240, 0, 1440, 1080, 1920, 1080)},
      {"full screen, scale option, nearest",
       input(0, true, false, 3, false, true, 640, 480, 1440, 1080, 1920, 1080),
       plan(P::kNearest, 240, 0, 1440, 1080, 1920, 1080)},
      {"full screen, no scale option",
       input(0, true, false, 0, true, true, 640, 480, 640, 480, 1920, 1080),
       plan(P::kSystemStretch, 640, 300, 640, 480, 1920, 1080)},
      {"maximised, no scale option, nearest switch",
       input(0, false, true, 0, false, false, 640, 480, 1024, 768, 1280, 1000),
       plan(P::kSmooth, 128, 116, 1024, 768, 1280, 1000)},
      {"full screen and maximised, no scale option",
       input(0, true, true, 0, true, true, 640, 480, 800, 600, 1024, 768),
       plan(P::kSystemStretch, 112, 84, 800, 600, 1024, 768)},
      {"presentation larger than the screen",
       input(0, true, false, 1, true, true, 640, 480, 1001, 700, 800, 600),
       plan(P::kSmoothThreaded, -100, -50, 1001, 700, 800, 600)},
  };
  for (const Case& c : cases) {
    const PresentPlan p = ChoosePresentation(c.in);
    EXPECT_EQ(p.path, c.plan.path) << c.what;
    EXPECT_EQ(p.dest_x, c.plan.dest_x) << c.what;
    EXPECT_EQ(p.dest_y, c.plan.dest_y) << c.what;
    EXPECT_EQ(p.dest_width, c.plan.dest_width) << c.what;
    EXPECT_EQ(p.dest_height, c.plan.dest_height) << c.what;
    EXPECT_EQ(p.canvas_width, c.plan.canvas_width) << c.what;
    EXPECT_EQ(p.canvas_height, c.plan.canvas_height) << c.what;
  }
}

TEST(DrawingModeTest, Field8AndTheSettingsReaderAgree) {
  struct Case {
    uint32_t field;
    int8_t mode;
    uint8_t gpu, smooth, effect;
  };
  const Case cases[] = {{0, 3, 1, 1, 3}, {1, 2, 1, 1, 2}, {2, 1, 0, 1, 0},
                        {3, 0, 0, 0, 0}, {4, 0, 0, 1, 0}, {0xFFFFFFFF, 0, 0, 1, 0}};
  for (const Case& c : cases) {
    const DrawingModeState s = DrawingModeForField(c.field);
    EXPECT_EQ(s.mode, c.mode) << c.field;
    EXPECT_EQ(s.gpu, c.gpu) << c.field;
    EXPECT_EQ(s.smooth, c.smooth) << c.field;
    EXPECT_EQ(s.effect, c.effect) << c.field;
    uint32_t fields[kSettingsFieldCount] = {};
    fields[8] = c.field;
    EngineSettings settings;
    ApplySettingsFields(fields, &settings);
    EXPECT_EQ(settings.drawing_mode, static_cast<uint8_t>(s.mode)) << c.field;
    EXPECT_EQ(settings.gpu_drawing, s.gpu) << c.field;
    EXPECT_EQ(settings.cpu_smooth, s.smooth) << c.field;
  }
  InitEngineSettings();
  InitDrawingMode();  // no settings file: CPU drawing, smooth
  EXPECT_EQ(g_drawing.mode, 0);
  EXPECT_EQ(g_drawing.smooth, 1);
  g_drawing = DrawingModeForField(0);
  FallBackToCpuDrawing();
  EXPECT_EQ(g_drawing.gpu, 0);
  EXPECT_EQ(g_drawing.smooth, 1);
  EXPECT_EQ(g_drawing.mode, 0);
}

// Reads a frame dump as blue, green, red, alpha bytes.
bool ReadDump(const std::string& path, int32_t* w, int32_t* h, std::vector<uint8_t>* bgra) {
  test::PngPixels png;
  if (!test::ReadPngPixels(path, &png)) return false;
  bgra->resize(png.px.size() * 4);
  std::memcpy(bgra->data(), png.px.data(), bgra->size());
  *w = png.w;
  *h = png.h;
  return true;
}

class PresentFrameTest : public test::HeadlessEngine {
 protected:
  static constexpr int32_t kW = 40, kH = 30;

  void SetUp() override {
    StartWith({{"KORVEL_DUMP", dumps_.path()}});
    InitEngineSettings();
    InitDisplayState();
    InitFrameState();
    ASSERT_NO_FATAL_FAILURE(OpenWindowZero(kW, kH));
    WindowRecord* w = g_windows[0];
    SetWindowedDisplay(kW, kH);
    frame_.width = kW;
    frame_.height = kH;
    frame_.visible = 1;
    pixels_.assign(static_cast<size_t>(kW) * 4 * (kH + 1) + 4, 0);
    std::mt19937 rng(5);
    for (size_t i = 0; i < static_cast<size_t>(kW) * kH * 4; ++i)
      pixels_[i] = static_cast<uint8_t>(rng());
    frame_.pixels = pixels_.data();
    node_.payload = &frame_;
    w->root_layer = &node_;
    InitFramePresentation();
    ASSERT_TRUE(StartWorkerThreads(g_worker_pool, 2));
  }
  void TearDown() override {
    StopWorkerThreads(g_worker_pool);
    ShutdownFramePresentation();
    FreeWindowRecords();
    HeadlessEngine::TearDown();
  }

  // Marks the frame changed (as the compositor leaves it) and presents frame `n`.
  void PresentChanged(uint64_t n) {
    frame_.needs_redraw = 1;
    frame_.frame_rect = DirtyRect{0, 0, kW - 1, kH - 1};
    g_frame.frame_counter = n;
    EXPECT_EQ(PresentFrame(0), 0);
  }
  std::string DumpPath(uint64_t n) const {
    char name[32];
    std::snprintf(name, sizeof name, "/w0-%06llu.png", static_cast<unsigned long long>(n));
    return dumps_.path() + name;
  }
  size_t DumpCount() const {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dumps_.path()))
      n += e.is_regular_file();
    return n;
  }

  test::TempDir dumps_;
  LayerData frame_{};
  NamedTreeNode node_{};
  std::vector<uint8_t> pixels_;
};

TEST_F(PresentFrameTest, UnscaledFrameIsCopiedExactly) {
  PresentChanged(1);
  int32_t w = 0, h = 0;
  std::vector<uint8_t> got;
  ASSERT_TRUE(ReadDump(DumpPath(1), &w, &h, &got));
  ASSERT_EQ(w, kW);
  ASSERT_EQ(h, kH);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), pixels_.begin()));
}

TEST_F(PresentFrameTest, NothingIsDrawnWithoutARedraw) {
  frame_.needs_redraw = 0;
  g_frame.frame_counter = 1;
  EXPECT_EQ(PresentFrame(0), 0);
  frame_.needs_redraw = 1;
  frame_.frame_rect = DirtyRect{kEmptyRectMin, kEmptyRectMin, kEmptyRectMax, kEmptyRectMax};
  EXPECT_EQ(PresentFrame(0), 0);
  EXPECT_EQ(DumpCount(), 0u);
}

TEST_F(PresentFrameTest, HiddenWindowIsPaintedBlackOnce) {
  PresentChanged(1);
  frame_.visible = 0;
  g_frame.frame_counter = 2;
  PresentFrame(0);
  g_frame.frame_counter = 3;
  PresentFrame(0);
  EXPECT_FALSE(std::filesystem::exists(DumpPath(3)));
  int32_t w = 0, h = 0;
  std::vector<uint8_t> got;
  ASSERT_TRUE(ReadDump(DumpPath(2), &w, &h, &got));
  EXPECT_EQ(w, kW);
  for (uint8_t b : got) ASSERT_EQ(b, 0);
}

TEST_F(PresentFrameTest, SmallerPresentationIsScaledSmoothly) {
  SetWindowedDisplay(20, 15);
  PresentChanged(1);
  std::vector<uint8_t> expected(20 * 15 * 4);
  ASSERT_EQ(ScaleFrameSmoothThreaded(expected.data(), pixels_.data(), 0, 0, (kW - 1) * 100,
                                     (kH - 1) * 100, kW, kH, 2000, 1500),
            0);
  int32_t w = 0, h = 0;
  std::vector<uint8_t> got;
  ASSERT_TRUE(ReadDump(DumpPath(1), &w, &h, &got));
  ASSERT_EQ(w, 20);
  EXPECT_EQ(got, expected);
  // Smooth scaling off (settings field 8 = 3): nearest neighbour.
  g_drawing = DrawingModeForField(3);
  PresentChanged(2);
  ASSERT_EQ(ScaleFrameNearest(expected.data(), pixels_.data(), 0, 0, kW - 1, kH - 1, kW, kH, 20,
                              15),
            0);
  ASSERT_TRUE(ReadDump(DumpPath(2), &w, &h, &got));
  EXPECT_EQ(got, expected);
}

// A size message applied by the frame step shows the unchanged frame again at once at the new
// presentation size, with the Flash window drawn over it for that size.
TEST_F(PresentFrameTest, ResizeShowsTheFrameAndFlashWindowAtTheNewSize) {
  InitDisplayScreen();
  ResetWindowMessages();
  g_repaint_pending.store(0);
  g_project.resizable_main_window = 1;
  g_frame.countdown_border = 0;
  static int32_t overlay_width = 0;
  overlay_width = 0;
  const platform::WindowId window = g_windows[0]->handle;
  platform::SetFrameOverlay(platform::OverlaySlot::kFlash, window,
                            [](uint8_t*, int32_t width, int32_t, int32_t, int32_t) {
                              overlay_width = width;
                            });
  // Undone also when an assertion ends the test early.
  struct Restore {
    platform::WindowId window;
    ~Restore() {
      platform::SetFrameOverlay(platform::OverlaySlot::kFlash, window, nullptr);
      g_project = ProjectConfig{};
    }
  } restore{window};
  PresentChanged(1);
  EXPECT_EQ(overlay_width, kW);
  frame_.needs_redraw = 0;
  frame_.frame_rect = DirtyRect{kEmptyRectMin, kEmptyRectMin, kEmptyRectMax, kEmptyRectMax};

  HandleDisplayMessage(0, static_cast<int32_t>(platform::EventKind::kSized), 2 * kW, 2 * kH);
  ApplyDisplayChanges();
  ASSERT_EQ(g_display.display_width, 2 * kW);
  g_frame.frame_counter = 2;
  EXPECT_EQ(PresentFrame(0), 0);
  int32_t w = 0, h = 0;
  std::vector<uint8_t> got;
  ASSERT_TRUE(ReadDump(DumpPath(2), &w, &h, &got)) << "nothing shown after the resize";
  EXPECT_EQ(w, 2 * kW);
  EXPECT_EQ(h, 2 * kH);
  EXPECT_EQ(overlay_width, 2 * kW);
}

TEST_F(PresentFrameTest, FullScreenFrameSitsCentredWithBlackBands) {
  platform::SetWindowClientSize(g_windows[0]->handle, 60, 40);
  g_display.full_screen = 1;
  g_settings.scaling_mode = 0;
  PresentChanged(1);
  int32_t w = 0, h = 0;
  std::vector<uint8_t> got;
  ASSERT_TRUE(ReadDump(DumpPath(1), &w, &h, &got));
  ASSERT_EQ(w, 60);
  ASSERT_EQ(h, 40);
  for (int32_t y = 0; y < 40; ++y) {
    for (int32_t x = 0; x < 60; ++x) {
      const bool inside = x >= 10 && x < 50 && y >= 5 && y < 35;
      const uint8_t* p = got.data() + (static_cast<size_t>(y) * 60 + x) * 4;
      if (inside) {
        ASSERT_EQ(0, std::memcmp(p, pixels_.data() + ((y - 5) * kW + (x - 10)) * 4, 4))
            << x << "," << y;
      } else {
        ASSERT_EQ(p[0] | p[1] | p[2] | p[3], 0) << x << "," << y;
      }
    }
  }
}

TEST_F(PresentFrameTest, GpuDrawingWithoutADeviceFallsBackToTheCpu) {
  g_drawing = DrawingModeForField(0);
  PresentChanged(1);
  EXPECT_EQ(g_drawing.gpu, 0);
  EXPECT_TRUE(std::filesystem::exists(DumpPath(1)));
  // A device that fails: this frame draws nothing, the next one goes through the CPU.
  g_drawing = DrawingModeForField(1);
  g_presentation.gpu_draw = [](const uint8_t*) { return int32_t{-1}; };
  PresentChanged(2);
  EXPECT_FALSE(std::filesystem::exists(DumpPath(2)));
  EXPECT_EQ(g_drawing.smooth, 1);
  PresentChanged(3);
  EXPECT_TRUE(std::filesystem::exists(DumpPath(3)));
}

// Scaled presentation over frames of moving sprites, the compositor's parts set as it sets them:
// after each frame the picture handed to the window system equals a whole-frame scale of that
// frame, windowed and centred in full screen, growing and shrinking, on every scaler.
TEST_F(PresentFrameTest, ScaledPartsEqualAWholeFrameScale) {
  std::vector<uint8_t> background(pixels_.begin(), pixels_.end());
  struct Setup {
    const char* what;
    int32_t present_w, present_h;
    uint8_t smooth, sse;
    bool full_screen;
  };
  const Setup setups[] = {
      {"smooth, threaded, growing", 61, 47, 1, 1, false},
      {"smooth, single-threaded, growing", 83, 52, 1, 0, false},
      {"smooth, threaded, shrinking", 27, 19, 1, 1, false},
      {"nearest, growing", 75, 44, 0, 1, false},
      {"nearest, shrinking", 23, 17, 0, 1, false},
      {"smooth, full screen, centred", 50, 36, 1, 1, true},
  };
  uint64_t n = 0;
  for (const Setup& setup : setups) {
    SCOPED_TRACE(setup.what);
    pixels_ = background;
    frame_.pixels = pixels_.data();
    g_drawing = DrawingModeForField(setup.smooth ? 2 : 3);
    g_settings.sse_allowed = setup.sse;
    int32_t canvas_w = setup.present_w, canvas_h = setup.present_h;
    int32_t off_x = 0, off_y = 0;
    if (setup.full_screen) {
      canvas_w = setup.present_w + 9;
      canvas_h = setup.present_h + 6;
      off_x = 4;
      off_y = 3;
      platform::SetWindowClientSize(g_windows[0]->handle, canvas_w, canvas_h);
      SetWindowedDisplay(setup.present_w, setup.present_h);
      g_display.full_screen = 1;
      g_settings.scaling_mode = 1;
    } else {
      SetWindowedDisplay(setup.present_w, setup.present_h);
    }
    // Three 7 x 5 sprites moving apart, one of them leaving the frame.
    int32_t sx[3] = {2, 20, 30}, sy[3] = {3, 12, 22};
    const int32_t vx[3] = {3, -2, 4}, vy[3] = {1, 2, -3};
    for (int step = 0; step < 8; ++step) {
      ++n;
      DirtyParts parts{};
      DirtyRect bounds{0, 0, kW - 1, kH - 1};
      if (step > 0) {
        bool started = false;
        for (int i = 0; i < 3; ++i) {
          const int32_t ox = sx[i], oy = sy[i];
          sx[i] += vx[i];
          sy[i] += vy[i];
          // Old place back to the background, new place painted: both changed.
          for (int32_t y = 0; y < kH; ++y) {
            for (int32_t x = 0; x < kW; ++x) {
              const bool in_old = x >= ox && x < ox + 7 && y >= oy && y < oy + 5;
              const bool in_new = x >= sx[i] && x < sx[i] + 7 && y >= sy[i] && y < sy[i] + 5;
              uint8_t* p = pixels_.data() + (static_cast<size_t>(y) * kW + x) * 4;
              if (in_new) {
                for (int c = 0; c < 4; ++c) p[c] = static_cast<uint8_t>(40 * i + 13 * c + step);
              } else if (in_old) {
                std::memcpy(p, background.data() + (p - pixels_.data()), 4);
              }
            }
          }
          const DirtyRect box{std::max(std::min(ox, sx[i]), 0), std::max(std::min(oy, sy[i]), 0),
                              std::min(std::max(ox, sx[i]) + 6, kW - 1),
                              std::min(std::max(oy, sy[i]) + 4, kH - 1)};
          if (box.x0 > box.x1 || box.y0 > box.y1) continue;
          if (!started) {
            StartDirtyParts(parts, box);
            bounds = box;
            started = true;
          } else {
            AddDirtyPart(parts, box);
            bounds = DirtyRect{std::min(bounds.x0, box.x0), std::min(bounds.y0, box.y0),
                               std::max(bounds.x1, box.x1), std::max(bounds.y1, box.y1)};
          }
        }
      }
      frame_.needs_redraw = 1;
      frame_.frame_rect = bounds;
      frame_.frame_parts = parts;
      g_frame.frame_counter = n;
      ASSERT_EQ(PresentFrame(0), 0);

      const int32_t dw = setup.present_w, dh = setup.present_h;
      std::vector<uint8_t> scaled(static_cast<size_t>(dw) * dh * 4);
      if (!setup.smooth) {
        ASSERT_EQ(ScaleFrameNearest(scaled.data(), pixels_.data(), 0, 0, kW - 1, kH - 1, kW, kH,
                                    dw, dh),
                  0);
      } else {
        const auto fn = setup.sse ? ScaleFrameSmoothThreaded : ScaleFrameSmooth;
        ASSERT_EQ(fn(scaled.data(), pixels_.data(), 0, 0, (kW - 1) * 100, (kH - 1) * 100, kW, kH,
                     dw * 100, dh * 100),
                  0);
      }
      std::vector<uint8_t> expected(static_cast<size_t>(canvas_w) * canvas_h * 4, 0);
      for (int32_t y = 0; y < dh; ++y) {
        std::memcpy(&expected[(static_cast<size_t>(y + off_y) * canvas_w + off_x) * 4],
                    &scaled[static_cast<size_t>(y) * dw * 4], static_cast<size_t>(dw) * 4);
      }
      int32_t w = 0, h = 0;
      std::vector<uint8_t> got;
      ASSERT_TRUE(ReadDump(DumpPath(n), &w, &h, &got)) << "step " << step;
      ASSERT_EQ(w, canvas_w);
      ASSERT_EQ(h, canvas_h);
      const auto diff = std::mismatch(got.begin(), got.end(), expected.begin());
      ASSERT_TRUE(diff.first == got.end())
          << "step " << step << ", first difference at byte " << (diff.first - got.begin());
    }
    g_display.full_screen = 0;
    g_settings.scaling_mode = 0;
  }
}

}  // namespace
}  // namespace korvel
