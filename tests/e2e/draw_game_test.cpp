// A compiled game that runs the draw command: every effect flag, both rotations and every scale
// mode into layers of their own, then the copy family, crop, canvas and swap. The run ends cleanly
// with no error reported, and the presented frame shows the copies as the rules make them.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace korvel {
namespace {

constexpr int32_t kW = 128, kH = 96;

uint32_t BgColour(int32_t x, int32_t y) { return uint32_t(x * 2) << 16 | uint32_t(y * 2) << 8 | 0x40; }
uint32_t SpriteColour(int32_t x, int32_t y) {
  return 0xF00000u | uint32_t(x * 20) << 8 | uint32_t(y * 20);
}

// Effect and scale flags with a value A in range (and their own value where it selects a mode).
struct FlagRun {
  int flag;
  const char* extra;
};
constexpr FlagRun kEffects[] = {
    {20, "18=( 6400 ) 19=( 4800 )"}, {21, "18=( 6400 ) 19=( 4800 )"},
    {22, "18=( 6400 ) 19=( 4800 )"}, {23, "18=( 19200 ) 19=( 14400 )"},
    {24, "18=( 6400 ) 19=( 4800 )"}, {25, "5=( 90 )"},
    {27, "5=( 128 )"}, {28, "5=( 8421504 )"}, {29, "5=( 8421504 )"}, {38, "5=( 64 )"},
    {39, "5=( 128 )"}, {40, "5=( 1 )"}, {41, "5=( 1 )"}, {42, "5=( 4 )"}, {43, "5=( 2 )"},
    {44, "5=( 3 )"}, {45, "5=( 3 )"}, {46, "5=( 3 )"}, {47, "5=( 16 )"}, {48, "5=( 4 ) 6=( 3 )"},
    {49, "5=( 4 ) 6=( 3 )"}, {50, "5=( 4 ) 6=( 3 )"}, {55, "5=( 90 ) 6=( 30 )"}, {51, "5=( 1 )"},
    {52, "5=( 255 )"}, {53, "5=( 255 )"}, {54, "5=( 255 )"}};

std::string GameSource() {
  std::string s =
      ".config width 128\n"
      ".config height 96\n"
      ".config show 1\n"
      "label SYSTEM_START\n"
      "LAYER 0=( \"bg\" ) 29=( \"bg\" ) 5=( 1 )\n"
      "LAYER 0=( \"sprite\" ) 29=( \"sprite\" ) 5=( 2 ) 1=( 0 )\n";
  int n = 0;
  for (const FlagRun& e : kEffects) {
    const std::string out = "fx" + std::to_string(n++);
    s += "DRAW 0=( \"bg\" ) 1=( \"" + out + "\" ) " + std::to_string(e.flag) + "=( 1 ) " +
         e.extra + "\n";
    s += "LAYER 0=( \"" + out + "\" ) 1=( 0 )\n";
  }
  // Rotation mode 12 and the smooth scale in place on a copy of their own.
  s += "DRAW 0=( \"bg\" ) 1=( \"rot\" ) 25=( 2 ) 5=( 270 )\n";
  s += "LAYER 0=( \"rot\" ) 1=( 0 )\n";
  // The copy family: the sprite copied at a raw negative position into bg, a rule transition of
  // bg with itself (a no-op mix), a difference copy of bg with itself into a scratch layer, crop,
  // canvas growth and a swap of two hidden layers.
  s += "DRAW 0=( \"sprite\" ) 1=( \"bg\" ) 30=( 1 ) 8=( -4 ) 9=( 10 )\n";
  s += "DRAW 0=( \"bg\" ) 1=( \"bg\" ) 2=( \"bg\" ) 3=( \"bg\" ) 33=( 1 ) 5=( 100 ) 6=( 64 )\n";
  s += "DRAW 0=( \"bg\" ) 1=( \"scratch\" ) 34=( 1 )\n";
  s += "LAYER 0=( \"scratch\" ) 1=( 0 )\n";
  s += "DRAW 0=( \"sprite\" ) 1=( \"cropped\" ) 36=( 1 ) 5=( 15 )\n";
  s += "DRAW 0=( \"cropped\" ) 37=( 1 ) 8=( 2 ) 9=( 2 ) 10=( 2 ) 11=( 2 )\n";
  s += "LAYER 0=( \"cropped\" ) 1=( 0 )\n";
  s += "DRAW 0=( \"fx0\" ) 1=( \"fx1\" ) 61=( 1 )\n";
  s += "WAIT 0=( 1 )\n"
       "loop -1\n"
       "  WAIT 0=( 1 )\n"
       "end\n";
  return s;
}

class DrawGameTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    BuildGame({{"main.kas", GameSource()}});
    game_.Write("bg.bmp", test::Bmp24(kW, kH, BgColour));
    game_.Write("sprite.bmp", test::Bmp24(12, 12, SpriteColour));
  }
  test::TempDir dumps_;
};

TEST_F(DrawGameTest, EveryEffectScaleAndCopyRunsAndTheCopyIsPresented) {
  const test::ProcessResult r = test::RunProcess(
      Args(), HeadlessEnv({"KORVEL_FRAMES=4", "KORVEL_DUMP=" + dumps_.path()}), 120000);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  ASSERT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;

  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  const std::string dump = dumps_.path() + "/w0-000001.png";
  ASSERT_NE(png_image_begin_read_from_file(&image, dump.c_str()), 0) << dump;
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint32_t> px(size_t(image.width) * image.height);
  ASSERT_NE(png_image_finish_read(&image, nullptr, px.data(), 0, nullptr), 0);
  ASSERT_EQ(image.width, uint32_t(kW));
  // bg with the sprite's columns 4..11 at x 0..7, rows 10..21: opaque over opaque is the sprite.
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const bool in = x < 8 && y >= 10 && y < 22;
      const uint32_t want = in ? SpriteColour(x + 4, y - 10) : BgColour(x, y);
      ASSERT_EQ(px[size_t(y) * kW + x] & 0xFFFFFFu, want) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace korvel
