// A compiled game that creates, moves, hides, blends and releases layers: the headless frame dumps
// equal the frames the test builds from the same rules, and under a virtual X server the window
// shows what the headless run dumped.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine_fixture.h"
#include "png_pixels.h"
#include "required_tool.h"

namespace korvel {
namespace {

constexpr int32_t kW = 128, kH = 96;  // the smallest screen a project may have

// Pixels as blue, green, red, alpha bytes in one 32-bit value (little-endian: 0xAARRGGBB).
struct Canvas {
  int32_t w = 0, h = 0;
  std::vector<uint32_t> px;
  Canvas(int32_t width, int32_t height) : w(width), h(height), px(size_t(width) * height, 0) {}
  uint32_t& at(int32_t x, int32_t y) { return px[size_t(y) * w + x]; }
  uint32_t at(int32_t x, int32_t y) const { return px[size_t(y) * w + x]; }
};

uint32_t BgColour(int32_t x, int32_t y) {
  return uint32_t(x * 2) << 16 | uint32_t(y * 2) << 8 | 0x80;
}
uint32_t SpriteColour(int32_t x, int32_t y) {
  return 0xF00000u | uint32_t(x * 20) << 8 | uint32_t(y * 20);
}

// A loaded 24-bit BMP is opaque: alpha 255.
Canvas Loaded(int32_t w, int32_t h, uint32_t (*colour)(int32_t, int32_t)) {
  Canvas c(w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) c.at(x, y) = 0xFF000000u | colour(x, y);
  }
  return c;
}

// The two rules the game uses: normal blend at full opacity without alpha copies every byte;
// additive blend at full opacity adds every byte with saturation. Both clipped to the parent.
template <typename Op>
void Draw(Canvas& dst, const Canvas& src, int32_t x, int32_t y, Op op) {
  for (int32_t sy = 0; sy < src.h; ++sy) {
    for (int32_t sx = 0; sx < src.w; ++sx) {
      const int32_t dx = x + sx, dy = y + sy;
      if (dx < 0 || dy < 0 || dx >= dst.w || dy >= dst.h) continue;
      dst.at(dx, dy) = op(dst.at(dx, dy), src.at(sx, sy));
    }
  }
}
uint32_t Copy(uint32_t, uint32_t s) { return s; }
uint32_t Add(uint32_t d, uint32_t s) {
  uint32_t r = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t v = ((d >> shift) & 255) + ((s >> shift) & 255);
    r |= (v > 255 ? 255 : v) << shift;
  }
  return r;
}

// Frame n of the game: the group (24 x 16 at 30, 20, drawn as an opaque image) holds sprite "a";
// "b" adds the sprite; "gone" covers the top-left corner in frame 1 only.
Canvas Expected(int frame) {
  const Canvas bg = Loaded(kW, kH, BgColour);
  const Canvas sprite = Loaded(12, 12, SpriteColour);
  Canvas w0(kW, kH);
  Draw(w0, bg, 0, 0, Copy);
  Canvas group(24, 16);
  Draw(group, sprite, frame == 1 ? -4 : 2, 2, Copy);
  Draw(w0, group, 30, 20, Copy);
  if (frame == 1) Draw(w0, sprite, 2, 30, Add);
  if (frame == 3) Draw(w0, sprite, 40, 30, Add);
  if (frame == 1) Draw(w0, sprite, 0, 0, Copy);
  return w0;
}

constexpr char kGame[] =
    ".config width 128\n"
    ".config height 96\n"
    ".config show 1\n"
    "label SYSTEM_START\n"
    "LAYER 0=( \"bg\" ) 29=( \"bg\" ) 5=( 1 )\n"
    "LAYER 0=( \"grp/\" ) 5=( 2 ) 6=( 24 ) 7=( 16 ) 3=( 30 ) 4=( 20 )\n"
    "LAYER 0=( \"grp/a\" ) 29=( \"sprite\" ) 5=( 1 ) 3=( -4 ) 4=( 2 )\n"
    "LAYER 0=( \"b\" ) 29=( \"sprite\" ) 5=( 3 ) 3=( 2 ) 4=( 30 ) 36=( 1 )\n"
    "LAYER 0=( \"gone\" ) 29=( \"sprite\" ) 5=( 4 )\n"
    "WAIT 0=( 1 )\n"
    "LAYER 0=( \"grp/a\" ) 3@1=( 6 )\n"
    "LAYER 0=( \"b\" ) 1=( 0 )\n"
    "RELEASE 0=( \"gone\" )\n"
    "WAIT 0=( 1 )\n"
    "LAYER 0=( \"b\" ) 1=( 1 ) 3=( 40 )\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

class LayerGameTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    BuildGame({{"main.kas", kGame}});
    game_.Write("bg.bmp", test::Bmp24(kW, kH, BgColour));
    game_.Write("sprite.bmp", test::Bmp24(12, 12, SpriteColour));
  }
  // Runs the game headless for `frames` frames, dumping into dumps_.
  void RunHeadless(int frames) {
    const test::ProcessResult r = test::RunProcess(
        Args(),
        HeadlessEnv({"KORVEL_FRAMES=" + std::to_string(frames), "KORVEL_DUMP=" + dumps_.path()}),
        60000);
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_status, 0);
    ASSERT_EQ(r.stderr_text.find("korvel: error"), std::string::npos);
  }
  std::string Dump(int frame) const {
    char name[32];
    std::snprintf(name, sizeof name, "/w0-%06d.png", frame);
    return dumps_.path() + name;
  }
  static bool ReadPng(const std::string& path, Canvas* out) {
    test::PngPixels png;
    if (!test::ReadPngPixels(path, &png)) return false;
    *out = Canvas(png.w, png.h);
    out->px = std::move(png.px);
    return true;
  }
  static ::testing::AssertionResult Same(const Canvas& got, const Canvas& want, uint32_t mask) {
    if (got.w != want.w || got.h != want.h) {
      return ::testing::AssertionFailure() << "size " << got.w << "x" << got.h;
    }
    for (int32_t y = 0; y < got.h; ++y) {
      for (int32_t x = 0; x < got.w; ++x) {
        if ((got.at(x, y) & mask) != (want.at(x, y) & mask)) {
          return ::testing::AssertionFailure()
                 << "pixel " << x << "," << y << ": " << std::hex << got.at(x, y) << " instead of "
                 << want.at(x, y);
        }
      }
    }
    return ::testing::AssertionSuccess();
  }

  test::TempDir dumps_;
};

TEST_F(LayerGameTest, HeadlessDumpsEqualTheFramesBuiltByTheRules) {
  RunHeadless(6);
  for (int frame = 1; frame <= 3; ++frame) {
    SCOPED_TRACE(frame);
    Canvas got(0, 0);
    ASSERT_TRUE(ReadPng(Dump(frame), &got)) << Dump(frame);
    EXPECT_TRUE(Same(got, Expected(frame), 0xFFFFFFFFu));
  }
  // Frames without a change present nothing.
  size_t dumps = 0;
  for (const auto& e : std::filesystem::directory_iterator(dumps_.path()))
    dumps += e.is_regular_file();
  EXPECT_EQ(dumps, 3u);
}

// The real window under a virtual X server shows what the headless run dumped.
TEST_F(LayerGameTest, XvfbWindowShowsTheHeadlessDump) {
  test::XvfbServer server;
  KORVEL_REQUIRE_TOOL(!server.display().empty(), "Xvfb");
  KORVEL_REQUIRE_TOOL(!test::CaptureCommand("command -v import").empty(), "ImageMagick's import");
  RunHeadless(6);
  Canvas dumped(0, 0);
  ASSERT_TRUE(ReadPng(Dump(3), &dumped));

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
  // The game reaches its last change on its third frame; give the screen time to settle.
  std::string rgb;
  const size_t want = size_t(kW) * kH * 3;
  for (int attempt = 0; attempt < 50; ++attempt) {
    test::SleepRealMs(100);
    rgb = test::CaptureCommand("DISPLAY=" + server.display() + " import -window " + id +
                               " -depth 8 rgb:- 2>/dev/null");
    if (rgb.size() != want) continue;
    Canvas shot(kW, kH);
    for (size_t i = 0; i < shot.px.size(); ++i) {
      shot.px[i] = uint32_t(uint8_t(rgb[i * 3])) << 16 | uint32_t(uint8_t(rgb[i * 3 + 1])) << 8 |
                   uint8_t(rgb[i * 3 + 2]);
    }
    if (Same(shot, dumped, 0xFFFFFFu)) break;
    if (attempt == 49) {
      EXPECT_TRUE(Same(shot, dumped, 0xFFFFFFu));
    }
  }
  EXPECT_EQ(rgb.size(), want);
  engine.Signal(SIGTERM);
  const test::ProcessResult r = engine.Wait(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
}

}  // namespace
}  // namespace korvel
