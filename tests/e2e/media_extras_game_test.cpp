// A compiled game that shows frames of a multi-frame image file (JPEG parts made by cjpeg, packed
// by kframes) and opens a Flash window: the headless frame dumps show the frames, then the Flash
// window's black rectangle over the frame, then the frame again once the window is closed; the
// missing Flash library is reported once and the run goes on.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "png_pixels.h"

namespace korvel {
namespace {

constexpr int32_t kW = 128, kH = 96;

constexpr char kGame[] =
    ".config width 128\n"
    ".config height 96\n"
    ".config show 1\n"
    "label SYSTEM_START\n"
    "LAYER 0=( \"bg\" ) 29=( \"bg\" ) 5=( 1 )\n"
    "MFLOAD 0=( \"bg\" ) 1=( \"Anim/Frames.KMF\" ) 2=( 9 )\n"
    "WAIT 0=( 1 )\n"
    "FLASHOPEN 0=( \"movie.swf\" ) 1=( 1 ) 2=( 10 ) 3=( 20 ) 4=( 30 ) 5=( 16 )\n"
    "WAIT 0=( 1 )\n"
    "FLASHCLOSE\n"
    "WAIT 0=( 1 )\n"
    "MFLOAD 0=( \"bg\" ) 2=( -1 )\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

uint32_t Grey(int32_t, int32_t) { return 0x404040; }

class MediaExtrasGameTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    BuildGame({{"main.kas", kGame}});
    game_.Write("bg.bmp", test::Bmp24(kW, kH, Grey));
    game_.Write("movie.swf", "FWS");
    // Two frames: red, then blue (a PPM each, through cjpeg), packed with kframes.
    std::vector<std::string> jpegs;
    for (const char* colour : {"\xF0\x10\x10", "\x10\x10\xF0"}) {
      std::string ppm = "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
      for (int i = 0; i < kW * kH; ++i) ppm += colour;
      const std::string src = work_.Write("f" + std::to_string(jpegs.size()) + ".ppm", ppm);
      const std::string jpg = work_.File("f" + std::to_string(jpegs.size()) + ".jpg");
      ASSERT_EQ(test::RunProcess({"/usr/bin/cjpeg", "-quality", "100", "-outfile", jpg, src}, {}, 60000)
                    .exit_status,
                0);
      jpegs.push_back(jpg);
    }
    game_.Write("anim/.keep", "");
    const test::ProcessResult packed = test::RunProcess(
        {std::string(KORVEL_BUILD_DIR) + "/kframes", "--values", "1", "2", "3",
         game_.File("anim/frames.kmf"), jpegs[0], jpegs[1]},
        {}, 60000);
    ASSERT_EQ(packed.exit_status, 0) << packed.stderr_text;
  }
  std::string Dump(int frame) const {
    char name[32];
    std::snprintf(name, sizeof name, "/w0-%06d.png", frame);
    return dumps_.path() + name;
  }

  test::TempDir work_;
  test::TempDir dumps_;
};

bool Near(uint32_t pixel, uint32_t expected) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int a = static_cast<int>((pixel >> shift) & 0xFF);
    const int b = static_cast<int>((expected >> shift) & 0xFF);
    if (a - b > 3 || b - a > 3) return false;
  }
  return true;
}

TEST_F(MediaExtrasGameTest, FramesAndTheFlashRectangleInTheDumps) {
  const std::string answers = work_.Write("answers.txt", "1\n");
  const test::ProcessResult r = test::RunProcess(
      Args(), HeadlessEnv({"KORVEL_FRAMES=6", "KORVEL_DUMP=" + dumps_.path(),
                           "KORVEL_ANSWERS=" + answers}),
      60000);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
  const std::string message = "ATL.DLLが見つかりませんでした。";
  const size_t first = r.stderr_text.find(message);
  EXPECT_NE(first, std::string::npos) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find(message, first + 1), std::string::npos) << "shown once";

  // Frame 1: the last frame (9 clamps to 1, blue). Frame 2: the black rectangle at (10, 20),
  // 30 x 16. Frame 3: the window is gone and the frame shows whole again (the rectangle was never
  // drawn into the layer). Frame 4: frame -1 (clamped to 0, red).
  struct Probe {
    int frame;
    int32_t x, y;
    uint32_t colour;
  };
  const Probe probes[] = {{1, 15, 25, 0x1010F0}, {1, 100, 80, 0x1010F0}, {2, 10, 20, 0},
                          {2, 39, 35, 0},        {2, 40, 35, 0x1010F0},  {2, 9, 20, 0x1010F0},
                          {2, 10, 36, 0x1010F0}, {3, 15, 25, 0x1010F0}, {4, 15, 25, 0xF01010}};
  for (const Probe& p : probes) {
    test::PngPixels png;
    ASSERT_TRUE(test::ReadPngPixels(Dump(p.frame), &png)) << Dump(p.frame);
    ASSERT_EQ(png.w, kW);
    EXPECT_TRUE(Near(png.at(p.x, p.y), p.colour))
        << "frame " << p.frame << " at " << p.x << "," << p.y << ": " << std::hex
        << png.at(p.x, p.y);
  }
}

}  // namespace
}  // namespace korvel
