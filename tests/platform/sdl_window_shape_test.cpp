// Window shapes and stacking on a real X server (Xvfb): the shape the X server holds, as
// `xwininfo -shape` reports it, and the stacking order of two windows under the root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform_test_util.h"
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
  void SetUp() override {
    if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xwininfo", X_OK) != 0) {
      GTEST_SKIP() << "Xvfb or xwininfo is not installed";
    }
    ASSERT_FALSE(server_.display().empty()) << "Xvfb did not start";
    display_ = std::make_unique<ScopedEnv>("DISPLAY", server_.display());
    ASSERT_TRUE(InitPlatformWith(BackendKind::kSdl));
    ASSERT_EQ(ActiveBackend(), BackendKind::kSdl);
    started_ = true;
  }
  void TearDown() override {
    if (started_) ShutdownPlatform();
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
  std::unique_ptr<ScopedEnv> display_;
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

}  // namespace
}  // namespace korvel::platform
