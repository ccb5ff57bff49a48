// Headless windows and frame dumps: show state and activation events, geometry, maximise and
// restore, the fixed desktop, and PNG dumps read back with libpng.
#include <png.h>
#include <setjmp.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/frame_overlay.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "platform_test_util.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::DrainEvents;
using test::ScopedEnv;
using korvel::test::TempDir;

class HeadlessWindows : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless)); }
  void TearDown() override { ShutdownPlatform(); }
  static WindowId Make(int32_t engine_index, int32_t x = 10, int32_t y = 20) {
    WindowDesc desc;
    desc.title = "\x83\x65\x83\x58\x83\x67";  // テスト
    desc.x = x;
    desc.y = y;
    desc.client_width = 320;
    desc.client_height = 240;
    desc.engine_index = engine_index;
    return CreateWindow(desc);
  }
  CleanHeadlessEnv env_;
};

TEST_F(HeadlessWindows, CreatedHiddenThenShownAndActivated) {
  const WindowId a = Make(0);
  const WindowId b = Make(1);
  HeadlessWindowInfo info;
  ASSERT_TRUE(GetHeadlessWindowInfo(a, &info));
  EXPECT_FALSE(info.visible);
  EXPECT_EQ(info.title, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
  EXPECT_TRUE(DrainEvents().empty());

  ShowWindow(a, ShowCommand::kShow);
  EXPECT_TRUE(IsWindowVisible(a));
  std::vector<Event> events = DrainEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EventKind::kActivate);
  EXPECT_EQ(events[0].value, 1);
  EXPECT_EQ(events[0].window, a);
  EXPECT_EQ(events[0].engine_index, 0);

  ShowWindow(b, ShowCommand::kShow);  // the newly shown window takes the focus
  events = DrainEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].window, a);
  EXPECT_EQ(events[0].value, 0);
  EXPECT_EQ(events[1].window, b);
  EXPECT_EQ(events[1].value, 1);
  EXPECT_EQ(events[1].engine_index, 1);

  ShowWindow(b, ShowCommand::kMinimize);
  EXPECT_TRUE(IsWindowMinimized(b));
  EXPECT_EQ(HeadlessActiveWindow(), kNoWindow);
  DestroyWindow(b);
  EXPECT_FALSE(GetHeadlessWindowInfo(b, &info));
  EXPECT_FALSE(IsWindowVisible(b));
}

TEST_F(HeadlessWindows, GeometryAndItsEvents) {
  const WindowId w = Make(0, 100, 50);
  Rect rect;
  ASSERT_TRUE(GetWindowRect(w, &rect));
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.bottom, 290);
  SetWindowClientSize(w, 800, 600);
  SetWindowPosition(w, 5, 6);
  SetWindowClientSize(w, 800, 600);  // unchanged: no event
  const std::vector<Event> events = DrainEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, EventKind::kSized);
  EXPECT_EQ(events[0].x, 800);
  EXPECT_EQ(events[1].kind, EventKind::kMoved);
  EXPECT_EQ(events[1].y, 6);
  ASSERT_TRUE(GetClientRect(w, &rect));
  EXPECT_EQ(rect.right, 800);
  int32_t x = 15, y = 16;
  ASSERT_TRUE(ScreenToClient(w, &x, &y));
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 10);

  ShowWindow(w, ShowCommand::kMaximize);
  HeadlessWindowInfo info;
  ASSERT_TRUE(GetHeadlessWindowInfo(w, &info));
  EXPECT_TRUE(info.maximized);
  EXPECT_EQ(info.width, 1920);
  ShowWindow(w, ShowCommand::kRestore);
  ASSERT_TRUE(GetHeadlessWindowInfo(w, &info));
  EXPECT_FALSE(info.maximized);
  EXPECT_EQ(info.width, 800);
  EXPECT_EQ(info.x, 5);

  ASSERT_TRUE(GetWorkArea(&rect));
  EXPECT_EQ(rect.right, 1920);
  EXPECT_EQ(rect.bottom, 1080);
  const DisplayMode mode = GetDesktopMode();
  EXPECT_EQ(mode.width, 1920);
  EXPECT_EQ(mode.bits_per_pixel, 32);
  EXPECT_EQ(mode.refresh_hz, 60);
  EXPECT_FALSE(GetWindowRect(kNoWindow, &rect));
  EXPECT_FALSE(GetWindowRect(99, &rect));
}

struct PngPixels {
  bool ok = false;
  png_uint_32 width = 0, height = 0;
  int color_type = -1, bit_depth = 0;
  std::vector<std::vector<uint8_t>> rows;
};

// Reads a PNG with libpng's low-level reader, without transformations.
PngPixels ReadPng(const std::string& path) {
  PngPixels result;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return result;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    result.width = png_get_image_width(png, info);
    result.height = png_get_image_height(png, info);
    result.color_type = png_get_color_type(png, info);
    result.bit_depth = png_get_bit_depth(png, info);
    png_bytepp rows = png_get_rows(png, info);
    const size_t bytes = png_get_rowbytes(png, info);
    for (png_uint_32 y = 0; y < result.height; ++y) {
      result.rows.emplace_back(rows[y], rows[y] + bytes);
    }
    result.ok = true;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return result;
}

TEST(HeadlessDump, PresentedFramesBecomeRgbaPngs) {
  CleanHeadlessEnv env;
  TempDir dir;
  ScopedEnv dump("KORVEL_DUMP", dir.File("frames"));  // created at start
  ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
  WindowDesc desc;
  desc.engine_index = 2;
  desc.client_width = 3;
  desc.client_height = 2;
  const WindowId w = CreateWindow(desc);
  // 3 x 2 BGRA pixels, pitch 16 (4 bytes of padding per row that must not show up).
  const uint8_t frame[2][16] = {
      {1, 2, 3, 4, 10, 20, 30, 255, 0, 0, 255, 0, 0xEE, 0xEE, 0xEE, 0xEE},
      {255, 0, 0, 128, 0, 255, 0, 1, 9, 8, 7, 6, 0xEE, 0xEE, 0xEE, 0xEE},
  };
  PresentFrame(w, &frame[0][0], 3, 2, 16, 7);
  const PngPixels png = ReadPng(dir.File("frames/w2-000007.png"));
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 3u);
  EXPECT_EQ(png.height, 2u);
  EXPECT_EQ(png.color_type, PNG_COLOR_TYPE_RGB_ALPHA);
  EXPECT_EQ(png.bit_depth, 8);
  const std::vector<uint8_t> row0{3, 2, 1, 4, 30, 20, 10, 255, 255, 0, 0, 0};
  const std::vector<uint8_t> row1{0, 0, 255, 128, 0, 255, 0, 1, 7, 8, 9, 6};
  EXPECT_EQ(png.rows[0], row0);
  EXPECT_EQ(png.rows[1], row1);

  PresentFrame(w, &frame[0][0], 3, 2, 8, 8);  // pitch shorter than a row: refused
  PresentFrame(w, nullptr, 3, 2, 16, 9);
  EXPECT_FALSE(std::filesystem::exists(dir.File("frames/w2-000008.png")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("frames/w2-000009.png")));
  ShutdownPlatform();
}

// Overlays that count their calls: the client area's (a Flash rectangle) and the strip's (the bar).
int g_client_draws = 0;
int g_strip_draws = 0;
void CountClientDraw(uint8_t*, int32_t, int32_t, int32_t, int32_t) { ++g_client_draws; }
void CountStripDraw(uint8_t*, int32_t, int32_t, int32_t, int32_t) { ++g_strip_draws; }

// Showing the bar's strip alone (the main thread does so when the bar changes) draws only the
// strip's overlay: the client area's overlays read the frame step's state and stay with its frames.
TEST_F(HeadlessWindows, MenuBarStripDrawsOnlyTheStripOverlay) {
  const WindowId a = Make(0);
  SetWindowMenuBar(a, 20);
  SetFrameOverlay(OverlaySlot::kFlash, a, CountClientDraw);
  SetFrameOverlay(OverlaySlot::kMenuBar, a, CountStripDraw);
  g_client_draws = g_strip_draws = 0;
  PresentMenuBar(a, 320);
  EXPECT_EQ(g_strip_draws, 1);
  EXPECT_EQ(g_client_draws, 0);
  std::vector<uint8_t> frame(320 * 240 * 4, 0);
  PresentFrame(a, frame.data(), 320, 240, 320 * 4, 1);
  EXPECT_EQ(g_client_draws, 1);
  SetFrameOverlay(OverlaySlot::kFlash, a, nullptr);
  SetFrameOverlay(OverlaySlot::kMenuBar, a, nullptr);
}

}  // namespace
}  // namespace korvel::platform
