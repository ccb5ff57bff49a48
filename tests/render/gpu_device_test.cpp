// The GPU path on a real OpenGL context: SDL's offscreen video driver over Mesa's llvmpipe
// (LP_NUM_THREADS=0 keeps llvmpipe on the calling thread). Frames drawn at their own size read back
// equal to the CPU's within ±2, captures of a known pattern are exact, drawing goes on after a
// device reset, a threaded run hands every device call to the main thread, and SDL's dummy driver
// (no OpenGL) gives the message and CPU drawing. Skipped, with the reason, where no context can be
// made (failed instead under KORVEL_REQUIRE_TOOLS=1, as scripts/test runs them).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/window_record.h"
#include "gpu_test_env.h"
#include "layer/layer_record.h"
#include "platform/frame_overlay.h"
#include "platform/platform.h"
#include "required_tool.h"
#include "test_support.h"

// Mesa keeps allocations for the life of its driver and unloads the driver before the leak check
// runs, so its frames cannot be named in a suppression: allocations on the main thread during
// these tests are left out of the leak check (the fault table runs the same engine code with the
// check on).
#if defined(__SANITIZE_ADDRESS__)
#define KORVEL_HAS_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVEL_HAS_LSAN 1
#endif
#endif
#ifdef KORVEL_HAS_LSAN
#include <sanitizer/lsan_interface.h>
#endif

namespace korvel {
namespace {

void IgnoreDriverLeaks(bool ignore) {
#ifdef KORVEL_HAS_LSAN
  if (ignore) {
    __lsan_disable();
  } else {
    __lsan_enable();
  }
#else
  (void)ignore;
#endif
}

// Sets variables for the test's life and puts the old values back.
class EnvScope {
 public:
  void Set(const char* name, std::optional<std::string> value) {
    const char* old = ::getenv(name);
    saved_.push_back({name, old != nullptr ? std::optional<std::string>(old) : std::nullopt});
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvScope() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first.c_str());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

constexpr int32_t kW = 48, kH = 32;

class GpuDeviceTest : public ::testing::Test {
 protected:
  // The SDL platform on `driver` with window 0 asking for OpenGL, and the GPU path for drawing
  // mode `field` of the settings (0: the first effect, 1: the second).
  void Start(const char* driver, const std::string& display = "") {
    env_.Set("SDL_VIDEODRIVER", driver);
    env_.Set("LP_NUM_THREADS", "0");
    env_.Set("DISPLAY", display.empty() ? std::nullopt : std::optional<std::string>(display));
    env_.Set("WAYLAND_DISPLAY", std::nullopt);
    env_.Set("XDG_RUNTIME_DIR", runtime_.path());
    env_.Set("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    env_.Set("SDL_AUDIODRIVER", "dummy");
    for (const char* name : {"KORVEL_PLATFORM", "KORVEL_DUMP", "KORVEL_ANSWERS", "KORVEL_FRAMES"}) {
      env_.Set(name, std::nullopt);
    }
    IgnoreDriverLeaks(true);
    started_ = true;
    ASSERT_TRUE(platform::InitPlatformWith(platform::BackendKind::kSdl));
    KORVEL_REQUIRE_TOOL(platform::ActiveBackend() == platform::BackendKind::kSdl,
                        "SDL's " << driver << " video driver");
    InitEngineState();
    InitErrorReporting();
    engine_ = true;
    ASSERT_EQ(CreateWindowRecords(), 0);
    WindowRecord* w = g_windows[0];
    w->logical_width = kW;
    w->logical_height = kH;
    platform::WindowDesc desc;
    desc.title = "korvel";
    desc.client_width = kW;
    desc.client_height = kH;
    desc.opengl = true;
    w->handle = platform::CreateWindow(desc);
    ASSERT_NE(w->handle.load(), platform::kNoWindow);
    frame_.Open(kW, kH, 11);
    test::g_gpu_plan = test::GpuFaultPlan{};
    test::g_gpu_plan.presented = &presented_;
    test::g_gpu_plan.presented_width = kW;
    test::g_gpu_plan.presented_height = kH;
    // SDL's own device, wrapped to read each presented frame back; none on the dummy driver.
    if (std::string(driver) != "dummy") platform::SetGpuDeviceWrapper(test::WrapWithPlan);
  }

  // Starts the GPU path; ends the test (see KORVEL_REQUIRE_TOOL) when no context can be made.
  void StartGpu(uint32_t field) {
    g_drawing = DrawingModeForField(field);
    testing::internal::CaptureStderr();
    const int result = InitGpuHook();
    const std::string err = testing::internal::GetCapturedStderr();
    KORVEL_REQUIRE_TOOL(result == 0 && g_gpu.device != nullptr,
                        "an OpenGL context (Mesa's llvmpipe; the engine said: " << err << ")");
  }

  void TearDown() override {
    if (!started_) return;
    if (engine_) {
      frame_.Close();
      ShutdownErrorReporting();
    }
    test::g_gpu_plan = test::GpuFaultPlan{};
    platform::ShutdownPlatform();
    IgnoreDriverLeaks(false);
  }

  // The presented frame equals the frame within ±2 in blue, green and red.
  void ExpectPresentedFrame(const char* what) {
    ASSERT_EQ(presented_.size(), static_cast<size_t>(kW) * kH * 4) << what;
    int worst = 0;
    for (size_t i = 0; i < presented_.size(); ++i) {
      if (i % 4 == 3) continue;
      worst = std::max(worst, std::abs(presented_[i] - frame_.pixels()[i]));
    }
    EXPECT_LE(worst, 2) << what;
  }

  std::unique_ptr<test::XvfbServer> xvfb_;  // outlives the platform, which TearDown shuts down
  test::TempDir runtime_;
  EnvScope env_;
  bool started_ = false, engine_ = false;
  test::GpuFrame frame_;
  std::vector<uint8_t> presented_;
};

TEST_F(GpuDeviceTest, UnscaledFramesEqualTheCpuFrame) {
  ASSERT_NO_FATAL_FAILURE(Start("offscreen"));
  if (IsSkipped()) return;
  for (uint32_t field : {0u, 1u}) {
    ReleaseGpuHook();
    ASSERT_NO_FATAL_FAILURE(StartGpu(field));
    if (IsSkipped()) return;
    presented_.clear();
    frame_.Present(1);
    ExpectPresentedFrame(field == 0 ? "first effect" : "second effect");
    EXPECT_EQ(g_drawing.gpu, 1);
  }
}

TEST_F(GpuDeviceTest, DrawingGoesOnAfterAReset) {
  ASSERT_NO_FATAL_FAILURE(Start("offscreen"));
  if (IsSkipped()) return;
  ASSERT_NO_FATAL_FAILURE(StartGpu(0));
  if (IsSkipped()) return;
  frame_.Present(1);
  const uint32_t before = g_gpu.device->Generation();
  RequestGpuReset();
  presented_.clear();
  frame_.Replace(test::RandomFrame(kW, kH, 99));
  frame_.Present(2);
  EXPECT_NE(g_gpu.device->Generation(), before);
  EXPECT_EQ(g_drawing.gpu, 1);
  ExpectPresentedFrame("after the reset");
}

// A layer with tiles of its own: the source's pattern pasted as a sprite.
struct Sprite {
  LayerData source{}, dest{};
  NamedTreeNode source_node{}, dest_node{};
  std::vector<uint8_t> pattern;

  Sprite(int32_t width, int32_t height, int32_t tile_cap) {
    pattern = test::RandomFrame(width, height, 3);
    source.width = width;
    source.height = height;
    source.pixels = pattern.data();
    source.tile_cap_width = source.tile_cap_height = tile_cap;
    source_node.payload = &source;
    dest.visible = 1;
    dest.opacity = 256;
    dest.gpu_placement[2] = dest.gpu_placement[3] = 100;  // scale 1
    dest_node.payload = &dest;
  }
  ~Sprite() {
    OnGpuThread([this] { ReleaseLayerTextures(&dest); });
    FreeBlock(dest.pixels);
  }
};

TEST_F(GpuDeviceTest, CaptureOfAKnownPatternIsExact) {
  ASSERT_NO_FATAL_FAILURE(Start("offscreen"));
  if (IsSkipped()) return;
  ASSERT_NO_FATAL_FAILURE(StartGpu(0));
  if (IsSkipped()) return;
  // 40 × 30 in tiles of at most 16: three columns and two rows, the last ones partly filled.
  Sprite s(40, 30, 16);
  ASSERT_EQ(PasteSprite(&s.source_node, &s.dest_node), 0);
  EXPECT_EQ(s.dest.tile_columns, 3);
  EXPECT_EQ(s.dest.tile_rows, 2);
  EXPECT_EQ(CaptureScreenToLayer(&s.dest_node), 0);
  ASSERT_NE(s.dest.pixels, nullptr);
  ASSERT_EQ(s.dest.width, kW);
  ASSERT_EQ(s.dest.height, kH);
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const uint8_t* got = s.dest.pixels + (static_cast<size_t>(y) * kW + x) * 4;
      // Inside the image its pixels; beyond it the tiles' transparent fill over opaque black.
      const uint8_t black[4] = {0, 0, 0, 255};
      const uint8_t* want =
          x < 40 && y < 30 ? s.pattern.data() + (static_cast<size_t>(y) * 40 + x) * 4 : black;
      ASSERT_EQ(std::memcmp(got, want, 4), 0)
          << x << "," << y << ": " << int(got[0]) << " " << int(got[1]) << " " << int(got[2])
          << " " << int(got[3]) << " want " << int(want[0]) << " " << int(want[1]) << " "
          << int(want[2]) << " " << int(want[3]);
    }
  }
  // The window's own frame still draws afterwards (the target came back).
  frame_.Present(1);
  ExpectPresentedFrame("after the capture");
}

// Pastes of 20 × 20, 100 × 100 and 20 × 20 again into one layer, each captured: every capture
// shows the image last pasted at its own size, never a texture kept from a paste of another size.
TEST_F(GpuDeviceTest, PastesOfAnotherSizeShowTheNewImage) {
  ASSERT_NO_FATAL_FAILURE(Start("offscreen"));
  if (IsSkipped()) return;
  StartGpu(0);
  if (IsSkipped()) return;
  Sprite s(20, 20, 0);
  std::vector<uint8_t> large = test::RandomFrame(100, 100, 5);
  std::vector<uint8_t> small = test::RandomFrame(20, 20, 7);
  const struct {
    int32_t side;
    uint8_t* pixels;
  } steps[] = {{20, s.pattern.data()}, {100, large.data()}, {20, small.data()}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.side);
    s.source.width = s.source.height = step.side;
    s.source.pixels = step.pixels;
    ASSERT_EQ(PasteSprite(&s.source_node, &s.dest_node), 0);
    ASSERT_EQ(CaptureScreenToLayer(&s.dest_node), 0);
    ASSERT_NE(s.dest.pixels, nullptr);
    int32_t wrong = 0;
    for (int32_t y = 0; y < kH; ++y) {
      for (int32_t x = 0; x < kW; ++x) {
        const uint8_t* got = s.dest.pixels + (static_cast<size_t>(y) * kW + x) * 4;
        const uint8_t black[4] = {0, 0, 0, 255};
        const uint8_t* want = x < step.side && y < step.side
                                  ? step.pixels + (static_cast<size_t>(y) * step.side + x) * 4
                                  : black;
        wrong += std::memcmp(got, want, 4) != 0 ? 1 : 0;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
  s.source.pixels = s.pattern.data();
}

TEST_F(GpuDeviceTest, TilesFromBeforeAResetAreAbsent) {
  ASSERT_NO_FATAL_FAILURE(Start("offscreen"));
  if (IsSkipped()) return;
  ASSERT_NO_FATAL_FAILURE(StartGpu(0));
  if (IsSkipped()) return;
  Sprite s(40, 30, 0);
  ASSERT_EQ(PasteSprite(&s.source_node, &s.dest_node), 0);
  RequestGpuReset();
  frame_.Present(1);
  // The stale tile draws nothing: the capture is the black of the clear.
  EXPECT_EQ(CaptureScreenToLayer(&s.dest_node), 0);
  ASSERT_NE(s.dest.pixels, nullptr);
  for (size_t i = 0; i < static_cast<size_t>(kW) * kH; ++i) {
    ASSERT_EQ(s.dest.pixels[i * 4 + 2], 0) << i;
  }
  // Pasting again makes new tiles in the emptied slots.
  ASSERT_EQ(PasteSprite(&s.source_node, &s.dest_node), 0);
  EXPECT_EQ(CaptureScreenToLayer(&s.dest_node), 0);
  EXPECT_EQ(std::memcmp(s.dest.pixels, s.pattern.data(), 40 * 4), 0);
}

// Each blend mode's states and texture stages on a grey target, against the formula of its row.
TEST_F(GpuDeviceTest, BlendModesFollowTheirRows) {
  ASSERT_NO_FATAL_FAILURE(Start("offscreen"));
  if (IsSkipped()) return;
  ASSERT_NO_FATAL_FAILURE(StartGpu(0));
  if (IsSkipped()) return;
  Sprite s(kW, kH, 0);
  ASSERT_EQ(PasteSprite(&s.source_node, &s.dest_node), 0);
  struct Case {
    int8_t mode;
    double (*expect)(double src, double dst);
  };
  const Case cases[] = {
      {0, [](double a, double) { return a; }},
      {1, [](double a, double b) { return std::min(a + b, 1.0); }},
      {2, [](double a, double b) { return b * (1 - a); }},
      {3, [](double a, double b) { return a * b; }},
      {5, [](double a, double b) { return a * (1 - b) + b; }},
      {6, [](double a, double b) { return std::max(a, b); }},
      {7, [](double a, double b) { return std::min(a, b); }},
      {9, [](double a, double b) { return a * (1 - b) + b * (1 - a); }},
  };
  std::vector<uint8_t> got(static_cast<size_t>(kW) * kH * 4);
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    OnGpuThread([&] {
      platform::GpuDevice& d = *g_gpu.device;
      ASSERT_TRUE(d.CreateTarget(kW, kH));
      ASSERT_TRUE(d.SetTarget());
      ASSERT_TRUE(d.BeginScene());
      ASSERT_TRUE(d.Clear(0xFF808080u));
      EXPECT_EQ(DrawLayerQuad(&s.dest, 1, c.mode, nullptr, nullptr), 0);
      ASSERT_TRUE(d.ReadBack(kW, kH, got.data(), kW * 4));
      ASSERT_TRUE(d.RestoreTarget());
    });
    const double grey = 128.0 / 255.0;
    int worst = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      if (i % 4 == 3) continue;
      const double want = c.expect(s.pattern[i] / 255.0, grey) * 255.0;
      worst = std::max(worst, static_cast<int>(std::abs(got[i] - want) + 0.5));
    }
    EXPECT_LE(worst, 2);
  }
  g_gpu.capture_target = 0;  // the test made the offscreen target its own size
}

// The frame step on a game thread: its device calls run on the main thread, which serves them.
TEST_F(GpuDeviceTest, GameThreadHandsDeviceCallsToTheMainThread) {
  ASSERT_NO_FATAL_FAILURE(Start("offscreen"));
  if (IsSkipped()) return;
  ASSERT_NO_FATAL_FAILURE(StartGpu(1));
  if (IsSkipped()) return;
  Sprite s(40, 30, 0);
  std::atomic<bool> done{false};
  int32_t pasted = -1;
  std::thread game([&] {
    for (uint64_t n = 1; n <= 10; ++n) frame_.Present(n);
    pasted = PasteSprite(&s.source_node, &s.dest_node);
    CaptureScreenToLayer(&s.dest_node);
    frame_.Present(11);
    done.store(true);
  });
  while (!done.load()) platform::SleepMs(1);
  game.join();
  EXPECT_EQ(pasted, 0);
  ASSERT_NE(s.dest.pixels, nullptr);
  EXPECT_EQ(std::memcmp(s.dest.pixels, s.pattern.data(), 40 * 4), 0);
  ExpectPresentedFrame("game thread");
}

// Stand-ins for the Flash window's overlay (a black rectangle at (5, 7), 10 x 6, of the client
// area) and the menu bar's (a pattern over the strip above the client area).
void BlackBox(uint8_t* bgra, int32_t width, int32_t height, int32_t pitch, int32_t top) {
  for (int32_t y = top + 7; y < top + 13 && y < height; ++y) {
    for (int32_t x = 5; x < 15 && x < width; ++x) {
      uint8_t* p = bgra + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * 4;
      p[0] = p[1] = p[2] = 0;
      p[3] = 255;
    }
  }
}
uint32_t StripColour(int32_t x, int32_t y) {
  return 0xFF000000u | (200u << 16) | (static_cast<uint32_t>(y * 13 & 255) << 8) |
         static_cast<uint32_t>(x * 7 & 255);
}
void PatternStrip(uint8_t* bgra, int32_t width, int32_t height, int32_t pitch, int32_t top) {
  for (int32_t y = 0; y < top && y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = StripColour(x, y);
      std::memcpy(bgra + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * 4, &c, 4);
    }
  }
}

// What CPU drawing shows: the strip as its overlay draws it, the frame below it with the client
// overlays over it. The GPU's picture of the whole window equals it within ±2.
// On X11 (Xvfb): the strip grows the window, which the offscreen driver's surface cannot follow.
TEST_F(GpuDeviceTest, OverlaysAndTheMenuBarStripShowAsWithCpuDrawing) {
  xvfb_ = std::make_unique<test::XvfbServer>();
  KORVEL_REQUIRE_TOOL(!xvfb_->display().empty(), "Xvfb");
  ASSERT_NO_FATAL_FAILURE(Start("x11", xvfb_->display()));
  if (IsSkipped()) return;
  const platform::WindowId window = g_windows[0]->handle;
  struct Case {
    const char* what;
    int32_t strip;
    bool box, bar;
  } cases[] = {
      {"rectangle alone", 0, true, false},
      {"menu bar alone", 20, false, true},
      {"menu bar and rectangle", 20, true, true},
      {"strip without an overlay", 20, false, false},
  };
  for (const Case& c : cases) {
    ReleaseGpuHook();
    platform::SetWindowMenuBar(window, c.strip);
    test::g_gpu_plan.presented_height = kH + c.strip;
    ASSERT_NO_FATAL_FAILURE(StartGpu(0));
    if (IsSkipped()) return;
    platform::SetFrameOverlay(platform::OverlaySlot::kFlash, window, c.box ? BlackBox : nullptr);
    platform::SetFrameOverlay(platform::OverlaySlot::kMenuBar, window,
                              c.bar ? PatternStrip : nullptr);
    presented_.clear();
    frame_.Present(1);
    platform::ResetFrameOverlays();
    ASSERT_EQ(presented_.size(), static_cast<size_t>(kW) * (kH + c.strip) * 4) << c.what;
    int worst = 0;
    for (int32_t y = 0; y < kH + c.strip; ++y) {
      for (int32_t x = 0; x < kW; ++x) {
        uint32_t want = 0xFF000000u;  // a strip without its overlay stays black
        if (y < c.strip) {
          if (c.bar) want = StripColour(x, y);
        } else if (c.box && x >= 5 && x < 15 && y - c.strip >= 7 && y - c.strip < 13) {
          want = 0xFF000000u;
        } else {
          const size_t at = (static_cast<size_t>(y - c.strip) * kW + x) * 4;
          std::memcpy(&want, frame_.pixels().data() + at, 4);
        }
        const uint8_t* got = presented_.data() + (static_cast<size_t>(y) * kW + x) * 4;
        for (int b = 0; b < 3; ++b) {
          worst = std::max(worst, std::abs(got[b] - static_cast<int>((want >> (8 * b)) & 255)));
        }
      }
    }
    EXPECT_LE(worst, 2) << c.what;
    EXPECT_EQ(g_drawing.gpu, 1) << c.what;
  }
}

TEST_F(GpuDeviceTest, DummyDriverGivesTheMessageAndCpuDrawing) {
  ASSERT_NO_FATAL_FAILURE(Start("dummy"));
  if (IsSkipped()) return;
  g_drawing = DrawingModeForField(0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(InitGpuHook(), 1);
  frame_.Present(1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(test::DialogLines(err),
            std::vector<std::string>{" | [DX]オブジェクトを生成できませんでした。"})
      << err;
  EXPECT_EQ(g_gpu.device, nullptr);
  EXPECT_EQ(g_drawing.gpu, 0);
  EXPECT_EQ(g_presentation.gpu_draw, nullptr);
  // Capture and sprite paste change nothing without a device.
  Sprite s(40, 30, 0);
  EXPECT_EQ(PasteSprite(&s.source_node, &s.dest_node), -1);
  EXPECT_EQ(g_gpu.last_trace, "KR_PASTESPRITE Error.");
  EXPECT_EQ(CaptureScreenToLayer(&s.dest_node), 0);
  EXPECT_EQ(s.dest.pixels, nullptr);
  EXPECT_EQ(s.dest.tile_textures[0], nullptr);
}

}  // namespace
}  // namespace korvel
