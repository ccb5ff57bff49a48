// A game shown in a window larger than its screen, on a virtual X server: three sprites move for
// a while, each frame showing only what changed, and the window then shows exactly the smooth
// scale of the whole final frame.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "required_tool.h"
#include "engine_fixture.h"
#include "pixel/frame_scalers.h"

namespace korvel {
namespace {

constexpr int32_t kW = 128, kH = 96;            // the game's screen
constexpr int32_t kShownW = 192, kShownH = 144;  // its window
constexpr int32_t kSprite = 12, kSteps = 20;

uint32_t BgColour(int32_t x, int32_t y) {
  return uint32_t(x * 2) << 16 | uint32_t(y * 2) << 8 | uint32_t((x * y) & 0xFF);
}
uint32_t SpriteColour(int32_t x, int32_t y) {
  return 0xF00000u | uint32_t(x * 20) << 8 | uint32_t(y * 20);
}

// Sprite i starts at (x, y) and moves (dx, dy) a frame for kSteps frames.
struct Sprite {
  int32_t x, y, dx, dy;
};
constexpr Sprite kSprites[3] = {{4, 6, 1, 0}, {60, 10, 0, 1}, {100, 70, -1, 0}};

constexpr char kGame[] =
    ".config width 128\n"
    ".config height 96\n"
    ".config show 1\n"
    "label SYSTEM_START\n"
    "WINDOW 0=( 0 ) 9=( 192 ) 10=( 144 )\n"
    "LAYER 0=( \"bg\" ) 29=( \"bg\" ) 5=( 1 )\n"
    "LAYER 0=( \"s1\" ) 29=( \"sprite\" ) 5=( 2 ) 3=( 4 ) 4=( 6 )\n"
    "LAYER 0=( \"s2\" ) 29=( \"sprite\" ) 5=( 3 ) 3=( 60 ) 4=( 10 )\n"
    "LAYER 0=( \"s3\" ) 29=( \"sprite\" ) 5=( 4 ) 3=( 100 ) 4=( 70 )\n"
    "WAIT 0=( 1 )\n"
    "loop 20\n"
    "  LAYER 0=( \"s1\" ) 3@1=( 1 )\n"
    "  LAYER 0=( \"s2\" ) 4@1=( 1 )\n"
    "  LAYER 0=( \"s3\" ) 3@1=( -1 )\n"
    "  WAIT 0=( 1 )\n"
    "end\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

// The final frame built from the rules (opaque images copied), as a layer buffer (with the spare
// row and pixel), scaled whole to the window's size.
std::vector<uint8_t> ExpectedWindow() {
  std::vector<uint32_t> frame(size_t(kW) * kH);
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) frame[size_t(y) * kW + x] = 0xFF000000u | BgColour(x, y);
  }
  for (const Sprite& s : kSprites) {
    const int32_t x0 = s.x + s.dx * kSteps, y0 = s.y + s.dy * kSteps;
    for (int32_t y = 0; y < kSprite; ++y) {
      for (int32_t x = 0; x < kSprite; ++x) {
        frame[size_t(y0 + y) * kW + size_t(x0 + x)] = 0xFF000000u | SpriteColour(x, y);
      }
    }
  }
  std::vector<uint8_t> layer(size_t(kW) * 4 * (kH + 1) + 4, 0);
  std::memcpy(layer.data(), frame.data(), frame.size() * 4);
  std::vector<uint8_t> shown(size_t(kShownW) * kShownH * 4);
  EXPECT_EQ(ScaleFrameSmoothThreaded(shown.data(), layer.data(), 0, 0, (kW - 1) * 100,
                                     (kH - 1) * 100, kW, kH, kShownW * 100, kShownH * 100),
            0);
  return shown;
}

class ScaledWindowXvfbTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    BuildGame({{"main.kas", kGame}});
    game_.Write("bg.bmp", test::Bmp24(kW, kH, BgColour));
    game_.Write("sprite.bmp", test::Bmp24(kSprite, kSprite, SpriteColour));
  }
};

TEST_F(ScaledWindowXvfbTest, MovedSpritesLeaveTheWholeFrameScale) {
  test::XvfbServer server;
  KORVEL_REQUIRE_TOOL(!server.display().empty(), "Xvfb");
  KORVEL_REQUIRE_TOOL(!test::CaptureCommand("command -v import").empty(), "ImageMagick's import");
  const std::vector<uint8_t> want = ExpectedWindow();

  test::ChildProcess engine(Args(), SdlEnv(server.display()));
  std::string id;
  for (int i = 0; i < 1000 && id.empty() && engine.Running(); ++i) {
    id = test::CaptureCommand("DISPLAY=" + server.display() +
                              " xdotool search --onlyvisible --name '^korvel$' 2>/dev/null");
    if (id.empty()) test::SleepRealMs(20);
  }
  ASSERT_FALSE(id.empty()) << "no visible window (the program "
                           << (engine.Running() ? "still runs" : "has ended") << ")";
  id = id.substr(0, id.find('\n'));
  // The sprites stop after 21 frames; poll until the window shows the final picture.
  std::string rgb;
  size_t differing = 0;
  int32_t first_x = -1, first_y = -1;
  for (int attempt = 0; attempt < 50; ++attempt) {
    test::SleepRealMs(100);
    rgb = test::CaptureCommand("DISPLAY=" + server.display() + " import -window " + id +
                               " -depth 8 rgb:- 2>/dev/null");
    if (rgb.size() != size_t(kShownW) * kShownH * 3) continue;
    differing = 0;
    first_x = first_y = -1;
    for (int32_t y = 0; y < kShownH; ++y) {
      for (int32_t x = 0; x < kShownW; ++x) {
        const size_t i = size_t(y) * kShownW + size_t(x);
        const bool same = uint8_t(rgb[i * 3]) == want[i * 4 + 2] &&
                          uint8_t(rgb[i * 3 + 1]) == want[i * 4 + 1] &&
                          uint8_t(rgb[i * 3 + 2]) == want[i * 4];
        if (!same && differing++ == 0) {
          first_x = x;
          first_y = y;
        }
      }
    }
    if (differing == 0) break;
  }
  EXPECT_EQ(rgb.size(), size_t(kShownW) * kShownH * 3);
  EXPECT_EQ(differing, 0u) << "first at " << first_x << "," << first_y;
  engine.Signal(SIGTERM);
  const test::ProcessResult r = engine.Wait(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
}

}  // namespace
}  // namespace korvel
