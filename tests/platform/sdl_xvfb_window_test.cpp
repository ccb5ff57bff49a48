// Windows on a real X server (Xvfb): the shape the X server holds, as `xwininfo -shape` reports
// it, the stacking order of two windows under the root, full screen and back under a window
// manager, and frames presented by their changed rectangle, read back from the screen with
// ImageMagick's `import`.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform_test_util.h"
#include "required_tool.h"
#include "test_support.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::ScopedEnv;

// The line of `text` that starts (after blanks) with `key`, else "".
std::string LineWith(const std::string& text, const std::string& key) {
  size_t at = text.find(key);
  if (at == std::string::npos) return "";
  const size_t end = text.find('\n', at);
  return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

class XvfbWindows : public ::testing::Test {
 protected:
  void SetUp() override { Start(false); }
  // With `window_manager`, openbox runs before SDL starts (SDL asks for full screen through it).
  void Start(bool window_manager) {
    KORVEL_REQUIRE_TOOL(access("/usr/bin/Xvfb", X_OK) == 0, "Xvfb");
    KORVEL_REQUIRE_TOOL(access("/usr/bin/xwininfo", X_OK) == 0, "xwininfo");
    KORVEL_REQUIRE_TOOL(!window_manager || access("/usr/bin/openbox", X_OK) == 0, "openbox");
    ASSERT_FALSE(server_.display().empty()) << "Xvfb did not start";
    display_ = std::make_unique<ScopedEnv>("DISPLAY", server_.display());
    bus_ = std::make_unique<ScopedEnv>("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    if (window_manager) {
      wm_ = std::make_unique<korvel::test::WindowManager>(server_.display(), runtime_.path());
      ASSERT_TRUE(wm_->running()) << "openbox did not start";
    }
    ASSERT_TRUE(InitPlatformWith(BackendKind::kSdl));
    ASSERT_EQ(ActiveBackend(), BackendKind::kSdl);
    started_ = true;
  }
  void TearDown() override {
    if (started_) ShutdownPlatform();
    wm_.reset();
  }
  WindowId Make(const std::string& title, int32_t x) {
    WindowDesc desc;
    desc.title = title;
    desc.x = x;
    desc.y = 10;
    desc.client_width = 64;
    desc.client_height = 48;
    const WindowId id = CreateWindow(desc);
    ShowWindow(id, ShowCommand::kShow);
    std::vector<uint8_t> frame(64 * 48 * 4, 0x80);
    PresentFrame(id, frame.data(), 64, 48, 64 * 4, 1);
    return id;
  }
  std::string Xwininfo(const std::string& args) {
    return korvel::test::CaptureCommand("DISPLAY=" + server_.display() + " xwininfo " + args +
                                " 2>&1");
  }

  CleanHeadlessEnv clean_;
  korvel::test::XvfbServer server_;
  korvel::test::TempDir runtime_;
  std::unique_ptr<ScopedEnv> display_, bus_;
  std::unique_ptr<korvel::test::WindowManager> wm_;
  bool started_ = false;
};

TEST_F(XvfbWindows, ShapeSeenByTheXServer) {
  const std::string title = "korvel-shape-" + std::to_string(getpid());
  const WindowId w = Make(title, 20);
  ASSERT_NE(w, kNoWindow);
  const std::string before = Xwininfo("-shape -name " + title);
  EXPECT_NE(before.find("No window shape defined"), std::string::npos) << before;
  // Two runs: the shape's extents are their bounding box.
  ASSERT_TRUE(SetWindowShape(w, {Rect{4, 2, 10, 3}, Rect{20, 30, 25, 41}}));
  const std::string shaped = Xwininfo("-shape -name " + title);
  EXPECT_NE(LineWith(shaped, "Window shape extents").find("21x39+4+2"), std::string::npos)
      << shaped;
  // No rectangle at all: an empty shape.
  ASSERT_TRUE(SetWindowShape(w, {}));
  const std::string empty = Xwininfo("-shape -name " + title);
  EXPECT_NE(LineWith(empty, "Window shape extents").find("0x0+0+0"), std::string::npos)
      << empty;
  DestroyWindow(w);
}

TEST_F(XvfbWindows, StackingBehindAndOnTop) {
  const std::string a = "korvel-a-" + std::to_string(getpid());
  const std::string b = "korvel-b-" + std::to_string(getpid());
  const WindowId wa = Make(a, 10);
  const WindowId wb = Make(b, 30);
  // xwininfo lists the root's children from the top of the stack down.
  const auto order = [&] {
    const std::string tree = Xwininfo("-root -children");
    return tree.find("\"" + a + "\"") < tree.find("\"" + b + "\"") ? "a over b" : "b over a";
  };
  SetWindowOrder(wb, WindowOrder::kTop, kNoWindow);
  EXPECT_STREQ(order(), "b over a");
  SetWindowOrder(wb, WindowOrder::kBehind, wa);
  EXPECT_STREQ(order(), "a over b");
  SetWindowOrder(wa, WindowOrder::kBottom, kNoWindow);
  EXPECT_STREQ(order(), "b over a");
  DestroyWindow(wa);
  DestroyWindow(wb);
}

class XvfbWindowsManaged : public XvfbWindows {
 protected:
  void SetUp() override { Start(true); }
};

TEST_F(XvfbWindowsManaged, FullScreenInTheDesktopModeAndBack) {
  const std::string title = "korvel-full-" + std::to_string(getpid());
  const WindowId w = Make(title, 30);
  const std::vector<MonitorInfo> monitors = GetMonitors();
  ASSERT_EQ(monitors.size(), 1u);
  EXPECT_EQ(monitors[0].bounds.right, 1024);
  const std::vector<DisplayMode> modes = GetDisplayModes(0);
  ASSERT_FALSE(modes.empty());
  // A mode the monitor does not offer is refused and the window stays as it was.
  EXPECT_FALSE(EnterFullScreen(w, 0, DisplayMode{333, 222, 32, 60}));
  Rect client;
  ASSERT_TRUE(GetClientRect(w, &client));
  EXPECT_EQ(client.right, 64);
  ASSERT_TRUE(EnterFullScreen(w, 0, DisplayMode{1024, 768, 32, 60}));
  // The window manager answers asynchronously: wait for the size it gives.
  const auto size = [&] {
    const std::string info = Xwininfo("-name " + title);
    return LineWith(info, "Width:") + " " + LineWith(info, "Height:") + " " +
           LineWith(info, "Absolute upper-left X:") + " " + LineWith(info, "Absolute upper-left Y:");
  };
  const std::string full = "Width: 1024 Height: 768 Absolute upper-left X:  0 Absolute upper-left Y:  0";
  std::string got;
  for (int i = 0; i < 250 && (got = size()) != full; ++i) korvel::test::SleepRealMs(20);
  EXPECT_EQ(got, full);
  LeaveFullScreen(w);
  for (int i = 0; i < 250 && (got = size()).find("Width: 64 Height: 48") != 0; ++i) {
    korvel::test::SleepRealMs(20);
  }
  EXPECT_EQ(got.find("Width: 64 Height: 48"), 0u) << got;
  DestroyWindow(w);
}

// A 96 x 64 frame: a gradient, with `mark` drawn as 6 x 5 blocks of colour `colour` at each of the
// given top-left corners.
std::vector<uint8_t> Frame(std::initializer_list<std::pair<int, int>> marks, uint32_t colour) {
  std::vector<uint8_t> f(96 * 64 * 4);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 96; ++x) {
      uint8_t* p = &f[(y * 96 + x) * 4];
      p[0] = static_cast<uint8_t>(x * 2);
      p[1] = static_cast<uint8_t>(y * 3);
      p[2] = static_cast<uint8_t>(x + y);
      p[3] = 0xFF;
    }
  }
  for (auto [mx, my] : marks) {
    for (int y = my; y < my + 5; ++y) {
      for (int x = mx; x < mx + 6; ++x) std::memcpy(&f[(y * 96 + x) * 4], &colour, 4);
    }
  }
  return f;
}

TEST_F(XvfbWindows, ChangedRectanglePresentsShowTheWholeFrame) {
  KORVEL_REQUIRE_TOOL(!korvel::test::CaptureCommand("command -v import").empty(),
                      "ImageMagick's import");
  const std::string title = "korvel-rect-" + std::to_string(getpid());
  WindowDesc desc;
  desc.title = title;
  desc.client_width = 96;
  desc.client_height = 64;
  const WindowId w = CreateWindow(desc);
  ShowWindow(w, ShowCommand::kShow);
  const std::string id =
      korvel::test::CaptureCommand("DISPLAY=" + server_.display() + " xdotool search --name " +
                                   title + " 2>/dev/null");
  ASSERT_FALSE(id.empty());
  const auto shot = [&] {
    return korvel::test::CaptureCommand("DISPLAY=" + server_.display() + " import -window " +
                                        id.substr(0, id.find('\n')) + " -depth 8 rgb:- 2>/dev/null");
  };
  const auto same = [](const std::string& rgb, const std::vector<uint8_t>& bgra) {
    if (rgb.size() != bgra.size() / 4 * 3) return ::testing::AssertionFailure() << rgb.size();
    for (size_t i = 0; i < bgra.size() / 4; ++i) {
      if (uint8_t(rgb[i * 3]) != bgra[i * 4 + 2] || uint8_t(rgb[i * 3 + 1]) != bgra[i * 4 + 1] ||
          uint8_t(rgb[i * 3 + 2]) != bgra[i * 4]) {
        return ::testing::AssertionFailure() << "pixel " << i % 96 << "," << i / 96;
      }
    }
    return ::testing::AssertionSuccess();
  };

  // The first frame goes whole even though the rectangle names one pixel.
  const auto a = Frame({{2, 2}, {80, 50}}, 0xFF0000FF);
  PresentFrameRect(w, a.data(), 96, 64, 96 * 4, 1, Rect{0, 0, 1, 1});
  EXPECT_TRUE(same(shot(), a));
  // Two marks move in separate tiles of one rectangle; the rest of it is unchanged.
  const auto b = Frame({{70, 3}, {5, 55}}, 0xFF0000FF);
  PresentFrameRect(w, b.data(), 96, 64, 96 * 4, 2, Rect{2, 2, 86, 60});
  EXPECT_TRUE(same(shot(), b));
  // A rectangle that names no change leaves the picture; an empty one presents nothing.
  PresentFrameRect(w, b.data(), 96, 64, 96 * 4, 3, Rect{0, 0, 96, 64});
  PresentFrameRect(w, b.data(), 96, 64, 96 * 4, 4, Rect{5, 5, 5, 9});
  EXPECT_TRUE(same(shot(), b));
  // A rectangle past the frame is clipped.
  auto c = b;
  for (int y = 59; y < 64; ++y) std::memset(&c[(y * 96 + 90) * 4], 0x33, 6 * 4);
  PresentFrameRect(w, c.data(), 96, 64, 96 * 4, 5, Rect{64, 32, 500, 500});
  EXPECT_TRUE(same(shot(), c));
  // Only the rectangle is handed over: a change outside it does not reach the screen.
  auto d = c;
  std::memset(&d[0], 0x77, 4 * 4);
  PresentFrameRect(w, d.data(), 96, 64, 96 * 4, 6, Rect{64, 32, 96, 64});
  EXPECT_TRUE(same(shot(), c));
  // A whole present shows it.
  PresentFrame(w, d.data(), 96, 64, 96 * 4, 7);
  EXPECT_TRUE(same(shot(), d));
  // Several rectangles go in one present: each of them reaches the screen (one past the frame,
  // one empty), and nothing between them does.
  const auto paint = [](std::vector<uint8_t>& frame, int x, int y, int pixels, uint8_t value) {
    const auto at = frame.begin() + (y * 96 + x) * 4;
    std::fill(at, at + pixels * 4, value);
  };
  auto e = d;
  ASSERT_EQ(e.size(), size_t{96 * 64 * 4});
  paint(e, 1, 1, 3, 0x11);
  paint(e, 92, 60, 3, 0x22);
  auto shown = e;
  paint(e, 40, 30, 4, 0x44);
  const Rect parts[] = {{0, 0, 8, 8}, {4, 4, 4, 20}, {90, 58, 120, 70}};
  PresentFrameRects(w, e.data(), 96, 64, 96 * 4, 8, parts);
  EXPECT_TRUE(same(shot(), shown));
  DestroyWindow(w);
}

}  // namespace
}  // namespace korvel::platform
