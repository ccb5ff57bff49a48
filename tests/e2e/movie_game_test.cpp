// A compiled game that plays the fixture movie in a rectangle over its background, run headless
// with frame dumps, once with each player: the dumps show the movie's frames (as the ffmpeg
// program converts them) inside the rectangle and the background everywhere else, the end comes
// after the movie's two seconds on the virtual clock, and the whole frame is shown again after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "lib/compiled_game.h"
#include "lib/pack_writer.h"
#include "png_pixels.h"

namespace korvel {
namespace {

constexpr int32_t kW = 320, kH = 240;
constexpr int32_t kMovieX = 40, kMovieY = 30, kMovieW = 160, kMovieH = 120;
constexpr uint32_t kBackground = 0x204060;

uint32_t BgColour(int32_t, int32_t) { return kBackground; }

// The game shows its background, starts the movie on frame 2 and waits; the script stores the
// playing byte in a variable it never reads, so 58 runs every frame too.
const char* kGame =
    ".config width 320\n"
    ".config height 240\n"
    ".config show 1\n"
    "label SYSTEM_START\n"
    "LAYER 0=( \"bg\" ) 29=( \"bg\" ) 5=( 1 )\n"
    "WAIT 0=( 1 )\n"
    "MOVIE 0=( \"Movie/Opening.mpg\" ) 2=( 40 ) 3=( 30 ) 4=( 160 ) 5=( 120 ) 6=( 128 ) 1=( 1 )\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

// The movie's 20 frames in BGRA as the ffmpeg program converts them.
std::vector<std::vector<uint8_t>> ReferenceFrames() {
  const std::string raw = test::CaptureCommand(
      "ffmpeg -nostdin -loglevel error -i '" + std::string(KORVEL_FIXTURES_DIR) +
      "/movie/movie.mpg' -an -f rawvideo -pix_fmt bgra -");
  const size_t size = size_t(kMovieW) * kMovieH * 4;
  std::vector<std::vector<uint8_t>> frames;
  for (size_t at = 0; at + size <= raw.size(); at += size) {
    frames.emplace_back(raw.begin() + std::ptrdiff_t(at), raw.begin() + std::ptrdiff_t(at + size));
  }
  return frames;
}

// The largest channel difference between the rectangle of a dump and a reference frame.
int RectDifference(const test::PngPixels& p, const std::vector<uint8_t>& frame) {
  int worst = 0;
  for (int32_t y = 0; y < kMovieH; ++y) {
    for (int32_t x = 0; x < kMovieW; ++x) {
      const uint32_t got = p.at(kMovieX + x, kMovieY + y);
      const uint8_t* want = frame.data() + (size_t(y) * kMovieW + size_t(x)) * 4;
      for (int c = 0; c < 3; ++c) {
        worst = std::max(worst, std::abs(int((got >> (8 * c)) & 0xFF) - int(want[c])));
      }
    }
  }
  return worst;
}

bool OutsideIsBackground(const test::PngPixels& p) {
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const bool in = x >= kMovieX && x < kMovieX + kMovieW && y >= kMovieY && y < kMovieY + kMovieH;
      if (!in && (p.at(x, y) & 0xFFFFFFu) != kBackground) return false;
    }
  }
  return true;
}

bool RectIsBackground(const test::PngPixels& p) {
  for (int32_t y = kMovieY; y < kMovieY + kMovieH; ++y) {
    for (int32_t x = kMovieX; x < kMovieX + kMovieW; ++x) {
      if ((p.at(x, y) & 0xFFFFFFu) != kBackground) return false;
    }
  }
  return true;
}

class MovieGameTest : public test::GameFolderTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    BuildGame({{"main.kas", kGame}});
    game_.Write("bg.bmp", test::Bmp24(kW, kH, BgColour));
    std::filesystem::create_directories(game_.path() + "/movie");
    std::filesystem::copy_file(std::string(KORVEL_FIXTURES_DIR) + "/movie/movie.mpg",
                               game_.path() + "/movie/opening.MPG");
    if (GetParam() == 0) {
      // Settings field 0 = 0 (the MCI player); every other field out of range keeps its default.
      std::string settings(128, '\xFF');
      settings.replace(0, 4, std::string(4, '\0'));
      game_.Write("krcfg.dat", settings);
    }
  }
  test::TempDir dumps_;
};

TEST_P(MovieGameTest, DumpsShowTheMovieInItsRectangleUntilItsEnd) {
  const std::vector<std::vector<uint8_t>> reference = ReferenceFrames();
  ASSERT_EQ(reference.size(), 20u) << "the ffmpeg program converts the fixture";
  const test::ProcessResult r = test::RunProcess(
      Args(), HeadlessEnv({"KORVEL_FRAMES=200", "KORVEL_DUMP=" + dumps_.path()}), 120000);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  ASSERT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;

  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dumps_.path())) {
    files.push_back(e.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  int first_movie = -1, end_frame = -1, last_index = -1, distinct = 0;
  for (const std::string& name : files) {
    test::PngPixels p;
    ASSERT_TRUE(test::ReadPngPixels(dumps_.path() + "/" + name, &p)) << name;
    ASSERT_EQ(p.w, kW);
    const int frame = std::atoi(name.substr(3, 6).c_str());
    ASSERT_TRUE(OutsideIsBackground(p)) << name;
    if (RectIsBackground(p)) {
      if (first_movie >= 0 && end_frame < 0) end_frame = frame;
      continue;
    }
    ASSERT_LT(end_frame, 0) << name << ": the movie shows again after its end";
    if (first_movie < 0) first_movie = frame;
    // The picture is one of the movie's frames, and never an earlier one than before.
    int best = -1, best_diff = 256;
    for (size_t i = 0; i < reference.size(); ++i) {
      const int d = RectDifference(p, reference[i]);
      if (d < best_diff) {
        best_diff = d;
        best = int(i);
      }
    }
    EXPECT_LE(best_diff, 6) << name;
    EXPECT_GE(best, last_index) << name;
    if (best != last_index) ++distinct;
    last_index = best;
  }
  ASSERT_GE(first_movie, 0) << "no dump shows the movie";
  ASSERT_GE(end_frame, 0) << "no dump after the end";
  EXPECT_EQ(distinct, 20);
  EXPECT_EQ(last_index, 19);
  // 2.011 s at 60 frames a second: the end about 121 frames after the first picture.
  EXPECT_GE(end_frame - first_movie, 118) << first_movie << " " << end_frame;
  EXPECT_LE(end_frame - first_movie, 124) << first_movie << " " << end_frame;
}

// The same movie inside the game's pack is no loose file: 104060, fatal.
class MoviePackTest : public test::GameFolderTest {};

TEST_F(MoviePackTest, AMovieOnlyInAPackIsRefused) {
  tools::CompiledGame game;
  std::string error;
  ASSERT_TRUE(tools::Assemble({{"main.kas", kGame}}, &game, &error)) << error;
  std::vector<tools::PackFileInput> files;
  for (const auto& [name, bytes] : tools::BuildKrbinFiles(game)) {
    files.push_back({"krbin\\" + name, bytes});
  }
  std::vector<uint8_t> movie;
  ASSERT_TRUE(tools::ReadWholeFileBytes(std::string(KORVEL_FIXTURES_DIR) + "/movie/movie.mpg",
                                        &movie, &error));
  files.push_back({"movie\\opening.mpg", movie});
  files.push_back({"bg.bmp", std::vector<uint8_t>(0)});
  const std::string bg = test::Bmp24(kW, kH, BgColour);
  files.back().bytes.assign(bg.begin(), bg.end());
  std::vector<uint8_t> pack;
  ASSERT_TRUE(tools::BuildPack(files, {}, &pack, &error)) << error;
  ASSERT_TRUE(tools::WriteWholeFileBytes(game_.File("game.kpf"), pack, 0644, &error)) << error;
  const test::ProcessResult r = test::RunProcess(Args(), HeadlessEnv({"KORVEL_FRAMES=20"}), 120000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 1) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: error 104060"), std::string::npos) << r.stderr_text;
  // Named as the lookup saw it: lower case, '\' separators.
  EXPECT_NE(r.stderr_text.find("[movie\\opening.mpg]"), std::string::npos) << r.stderr_text;
}

INSTANTIATE_TEST_SUITE_P(Players, MovieGameTest, ::testing::Values(0, 1),
                         [](const auto& p) { return p.param == 1 ? "Graph" : "Mci"; });

}  // namespace
}  // namespace korvel
