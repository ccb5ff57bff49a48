// Full screen and back in the real program on a virtual X server with a window manager: the
// window's geometry from xwininfo and the screen's pixels from ImageMagick's import, against the
// picture the game shows.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "required_tool.h"

namespace korvel {
namespace {

// The game waits for the file "go1" to switch to full screen, then for "go2" to switch back.
constexpr char kGame[] =
    ".config width 320\n"
    ".config height 240\n"
    ".config show 1\n"
    ".global int v\n"
    "label SYSTEM_START\n"
    "LAYER 0=( \"bg\" ) 29=( \"bg\" ) 5=( 1 )\n"
    "loop -1\n"
    "  FILEINFO 1=( \"go1\" ) 4=( 1 ) 7=( $v )\n"
    "  if $v 1 ==\n    break\n  end\n"
    "  WAIT 0=( 1 )\n"
    "end\n"
    "WINDOW 0=( 0 ) 13=( 1 )\n"
    "loop -1\n"
    "  FILEINFO 1=( \"go2\" ) 4=( 1 ) 7=( $v )\n"
    "  if $v 1 ==\n    break\n  end\n"
    "  WAIT 0=( 1 )\n"
    "end\n"
    "WINDOW 0=( 0 ) 13=( 0 )\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

constexpr int32_t kWidth = 320, kHeight = 240, kBlock = 40;
constexpr int32_t kScreenWidth = 1024, kScreenHeight = 768;

// 40 x 40 blocks of distinct colours, so a scaled picture can be checked at the blocks' centres.
uint32_t BlockColour(int32_t x, int32_t y) {
  const uint32_t bx = uint32_t(x / kBlock), by = uint32_t(y / kBlock);
  return (30 + bx * 28) << 16 | (30 + by * 30) << 8 | ((bx * by * 37 + 90) & 0xFFu);
}

uint32_t PixelAt(const std::string& rgb, int32_t width, int32_t x, int32_t y) {
  const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
  return uint32_t(uint8_t(rgb[i])) << 16 | uint32_t(uint8_t(rgb[i + 1])) << 8 |
         uint32_t(uint8_t(rgb[i + 2]));
}

struct Geometry {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool viewable = false;
  bool operator==(const Geometry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Geometry& g) {
  return out << g.width << "x" << g.height << "+" << g.x << "+" << g.y
             << (g.viewable ? " viewable" : " not viewable");
}

class FullScreenXvfbTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/openbox", "/usr/bin/xwininfo",
                             "/usr/bin/xprop", "/usr/bin/xdotool", "/usr/bin/import"}) {
      KORVEL_REQUIRE_TOOL(::access(tool, X_OK) == 0, tool);
    }
    ASSERT_FALSE(server_.display().empty()) << "Xvfb did not start";
  }

  std::string X(const std::string& command) const {
    return test::CaptureCommand("DISPLAY=" + server_.display() + " " + command + " 2>/dev/null");
  }
  // Polls `done` every 20 ms for up to 10 s of real time (a screenshot takes a while itself).
  static bool WaitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
      if (done()) return true;
      test::SleepRealMs(20);
    }
    return done();
  }
  Geometry Read(const std::string& id) const {
    Geometry g;
    std::istringstream info(X("xwininfo -id " + id));
    for (std::string line; std::getline(info, line);) {
      const auto value = [&line](const char* key, int32_t* out) {
        const size_t at = line.find(key);
        if (at != std::string::npos) *out = std::stoi(line.substr(at + std::string(key).size()));
      };
      value("Absolute upper-left X:", &g.x);
      value("Absolute upper-left Y:", &g.y);
      value("Width:", &g.width);
      value("Height:", &g.height);
      if (line.find("Map State: IsViewable") != std::string::npos) g.viewable = true;
    }
    return g;
  }
  // Where the window's client area belongs in windowed state: the engine puts the outer
  // rectangle's top-left corner half the logical size before the work area's centre (the whole
  // screen here), and the window manager's frame extents (left, right, top, bottom) lie between
  // that corner and the client area. False until the window manager has taken the window.
  bool WindowedPlace(const std::string& id, Geometry* place) const {
    const std::string text = X("xprop -id " + id + " _NET_FRAME_EXTENTS");
    const size_t at = text.find('=');
    if (at == std::string::npos) return false;
    int32_t left = 0, right = 0, top = 0;
    if (std::sscanf(text.c_str() + at + 1, " %d, %d, %d", &left, &right, &top) != 3) {
      return false;
    }
    *place = Geometry{kScreenWidth / 2 - kWidth / 2 + left, kScreenHeight / 2 - kHeight / 2 + top,
                      kWidth, kHeight, true};
    return true;
  }
  // The window's pixels (RGB) once they are the game's picture at its own size.
  bool WindowShowsPicture(const std::string& id, std::string* why) const {
    std::string rgb;
    size_t differing = 0;
    const bool same = WaitFor([&] {
      rgb = X("import -window " + id + " -depth 8 rgb:-");
      if (rgb.size() != size_t(kWidth) * kHeight * 3) return false;
      differing = 0;
      for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) differing += PixelAt(rgb, kWidth, x, y) != BlockColour(x, y);
      }
      return differing == 0;
    });
    *why = "shot of " + std::to_string(rgb.size()) + " bytes, " + std::to_string(differing) +
           " pixels differ";
    return same;
  }
  // The whole screen once it shows the picture scaled to the screen: each block's centre has the
  // block's colour.
  bool ScreenShowsScaledPicture(std::string* why) const {
    std::string rgb;
    std::string first;
    const bool same = WaitFor([&] {
      rgb = X("import -window root -depth 8 rgb:-");
      if (rgb.size() != size_t(kScreenWidth) * kScreenHeight * 3) return false;
      first.clear();
      for (int32_t by = 0; by < kHeight / kBlock && first.empty(); ++by) {
        for (int32_t bx = 0; bx < kWidth / kBlock && first.empty(); ++bx) {
          const int32_t cx = bx * kBlock + kBlock / 2, cy = by * kBlock + kBlock / 2;
          const int32_t sx = cx * kScreenWidth / kWidth, sy = cy * kScreenHeight / kHeight;
          const uint32_t got = PixelAt(rgb, kScreenWidth, sx, sy);
          if (got != BlockColour(cx, cy)) {
            std::ostringstream out;
            out << "block " << bx << "," << by << " at " << sx << "," << sy << " is " << std::hex
                << got << ", not " << BlockColour(cx, cy);
            first = out.str();
          }
        }
      }
      return first.empty();
    });
    *why = "shot of " + std::to_string(rgb.size()) + " bytes; " + first;
    return same;
  }

  test::XvfbServer server_;
};

TEST_F(FullScreenXvfbTest, FullScreenAndBackShowTheGame) {
  test::WindowManager wm(server_.display(), runtime_.path());
  ASSERT_TRUE(wm.running()) << "openbox did not start";
  BuildGame({{"main.kas", kGame}});
  game_.Write("bg.bmp", test::Bmp24(kWidth, kHeight, BlockColour));
  // Settings: CPU drawing with nearest-neighbour scaling (field 8 = 3), so the full screen shows
  // the blocks' own colours; every other field out of range keeps its default.
  std::string settings(32 * 4, '\xFF');
  settings.replace(8 * 4, 4, std::string("\x03\0\0\0", 4));
  game_.Write("krcfg.dat", settings);
  test::ChildProcess engine(Args(), SdlEnv(server_.display()));

  std::string id;
  ASSERT_TRUE(WaitFor([&] {
    std::istringstream found(X("xdotool search --onlyvisible --name '^korvel$'"));
    found >> id;
    return !id.empty() || !engine.Running();
  }) && !id.empty()) << "no window titled korvel";
  if (id.rfind("0x", 0) != 0) {
    std::ostringstream hex;
    hex << "0x" << std::hex << std::stoul(id);
    id = hex.str();
  }
  // Windowed: the frame at its own size, centred, once the window manager has placed it.
  Geometry windowed, got;
  ASSERT_TRUE(WaitFor([&] {
    return WindowedPlace(id, &windowed) && (got = Read(id)) == windowed;
  })) << got << " not " << windowed;
  std::string why;
  EXPECT_TRUE(WindowShowsPicture(id, &why)) << "windowed: " << why;

  game_.Write("go1", "");
  const Geometry full{0, 0, kScreenWidth, kScreenHeight, true};
  EXPECT_TRUE(WaitFor([&] { return (got = Read(id)) == full; })) << got;
  EXPECT_TRUE(ScreenShowsScaledPicture(&why)) << "full screen: " << why;

  game_.Write("go2", "");
  // Back at the frame's own size, where the window was before.
  EXPECT_TRUE(WaitFor([&] { return (got = Read(id)) == windowed; })) << got << " not " << windowed;
  EXPECT_TRUE(WindowShowsPicture(id, &why)) << "windowed again: " << why;

  const test::ProcessResult r = engine.Stop(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("headless"), std::string::npos) << r.stderr_text;
}

}  // namespace
}  // namespace korvel
