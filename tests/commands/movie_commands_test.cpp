// Commands 56, 57 and 58 with the decoded arguments set as the decoder leaves them, on the headless
// platform and the fixture movie: volume laws, rectangle operators and arithmetic, loose files only,
// the two players' start failures, the reset of command 57, the answers of 58, and the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <cstring>
#include <string>
#include <vector>

#include "commands/movie_commands.h"
#include "commands/movie_arithmetic.h"
#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/frame_step.h"
#include "core/program_paths.h"
#include "core/volume_millibels.h"
#include "core/window_proc.h"
#include "layer/layer_test_env.h"
#include "platform/frame_overlay.h"
#include "platform/movie_player.h"
#include "render/drawing_mode.h"
#include "render/frame_presentation.h"
#include "script/decoded_arguments.h"
#include "script/value_ops.h"
#include "script/variables.h"

namespace korvel {
namespace {

TEST(MovieRules, VolumeLaws) {
  const struct {
    int32_t volume, graph_mb, mci_level;
  } cases[] = {
      {128, -1204, 500}, {256, 0, 1000}, {0, -10000, 0}, {1, -9632, 3}, {64, -2408, 250},
      {255, -6, 996},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VolumeToMillibels(c.volume), c.graph_mb) << c.volume;
    EXPECT_EQ(MciVolumeLevel(c.volume), c.mci_level) << c.volume;
  }
  EXPECT_EQ(LinearLevelMillibels(500), -602);
  EXPECT_EQ(LinearLevelMillibels(1000), 0);
  EXPECT_EQ(LinearLevelMillibels(0), -10000);
  EXPECT_EQ(LinearLevelMillibels(3), -5046);
}

TEST(MovieRules, OperatorsAndRectangleIn64Bits) {
  EXPECT_EQ(CombineMovieValue(kValueAdd, 0, 100), 100);
  EXPECT_EQ(CombineMovieValue(kValueAdd, 640, 100), 740);
  EXPECT_EQ(CombineMovieValue(kValueSubtract, 10, 30), -20);
  EXPECT_EQ(CombineMovieValue(kValueMultiply, 300, 2), 600);
  EXPECT_EQ(CombineMovieValue(kValueDivide, 300, 0), 300);
  EXPECT_EQ(CombineMovieValue(kValueSet, 5, int64_t{1} << 40), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(CombineMovieValue(kValueAdd, std::numeric_limits<int32_t>::max(), 10),
            std::numeric_limits<int32_t>::max());

  const struct {
    MovieGeometry g;
    platform::MovieRect want;
  } cases[] = {
      // Windowed 1:1.
      {{10, 20, 160, 120, 0, 0, 640, 480, 0, 0, false, 0, 0}, {10, 20, 160, 120}},
      // Offset added, sides scaled to a 1280 x 720 presentation of 640 x 480.
      {{10, 20, 160, 120, 32, 8, 640, 480, 1280, 720, false, 0, 0}, {42, 28, 320, 180}},
      // Sides that overflow 32 bits when scaled are clamped, not wrapped.
      {{0, 0, std::numeric_limits<int32_t>::max(), 100, 0, 0, 640, 480, 1280, 480, false, 0, 0},
       {0, 0, std::numeric_limits<int32_t>::max(), 100}},
      {{std::numeric_limits<int32_t>::max(), 0, 1, 1, 100, 0, 640, 480, 0, 0, false, 0, 0},
       {std::numeric_limits<int32_t>::max(), 0, 1, 1}},
      // Fitted into a 1920 x 1080 screen: 1440 x 1080, margin 240 on each side.
      {{0, 0, 640, 480, 0, 0, 640, 480, 0, 0, true, 1920, 1080}, {240, 0, 1440, 1080}},
      {{320, 240, 320, 240, 0, 0, 640, 480, 0, 0, true, 1920, 1080}, {960, 540, 720, 540}},
      // A tall screen: margins above and below.
      {{0, 0, 640, 480, 0, 0, 640, 480, 0, 0, true, 800, 1000}, {0, 200, 800, 600}},
  };
  for (const auto& c : cases) {
    const platform::MovieRect r = MovieTargetRect(c.g);
    EXPECT_EQ(r.left, c.want.left);
    EXPECT_EQ(r.top, c.want.top);
    EXPECT_EQ(r.width, c.want.width);
    EXPECT_EQ(r.height, c.want.height);
  }
}

class MovieCommands : public test::LayerEnv {
 protected:
  void SetUp() override {
    LayerEnv::SetUp();
    saved_decoder_ = g_argument_decoder;
    g_argument_decoder = [](int32_t) { return 0; };
    saved_folder_ = g_paths.game_folder;
    g_paths.game_folder = dir_.path() + "/";
    std::filesystem::create_directories(dir_.path() + "/Movie");
    std::filesystem::copy_file(std::string(KORVEL_FIXTURES_DIR) + "/movie/movie.mpg",
                               dir_.path() + "/Movie/Opening.MPG");
    std::ofstream(dir_.path() + "/notes.txt") << "not a movie\n";
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    const uint32_t dims[1] = {1};
    ASSERT_EQ(FillVarIntInit(1000, 1, dims, -7), 0);
    saved_settings_ = g_settings;
    RegisterMovieCommandHandlers();
    InitFrameState();
  }
  void TearDown() override {
    ReleaseMovies();
    platform::ResetFrameOverlays();
    g_settings = saved_settings_;
    FreeVariableRecords();
    g_paths.game_folder = saved_folder_;
    g_argument_decoder = saved_decoder_;
    ClearDecodedArguments();
    LayerEnv::TearDown();
  }

  // Argument builders: a parameter with a value (and operator), a text, a variable target.
  static DecodedArgument& Put(uint8_t param) {
    if (g_args.presence[param] == 0) g_args.presence[param] = static_cast<uint8_t>(++g_args.count);
    return g_args.at[g_args.presence[param]];
  }
  static void Value(uint8_t param, int64_t value, uint8_t op = kValueSet) {
    Put(param).value = value;
    Put(param).op = op;
  }
  static void Text(uint8_t param, const std::string& text) {
    static std::string store[8];
    store[param % 8] = text;
    Put(param).text = store[param % 8].data();
    Put(param).text_length = text.size();
  }
  static int64_t Info(uint8_t param, const std::string& text = {}) {
    ClearDecodedArguments();
    if (param == 6) {
      Text(6, text);
    } else {
      Value(param, 0);
    }
    Put(7).var_number = 1000;
    Put(7).element_index = 0;
    EXPECT_EQ(RunMovieInfoCommand(), 0);
    return GetVarIntElement(1000, 0);
  }
  static int32_t Movie() { return RunMovieCommand(); }
  void Player(int field0) { g_settings.draw_condition = static_cast<uint8_t>(field0); }

  test::TempDir dir_;
  std::string saved_folder_;
  EngineSettings saved_settings_;
  ArgumentDecoder saved_decoder_ = nullptr;
};

TEST_F(MovieCommands, RectangleOperatorsAndFileResets) {
  // Defaults: 0, 0 and the window's logical size.
  EXPECT_EQ(Info(3), kWidth);
  EXPECT_EQ(Info(4), kHeight);
  ClearDecodedArguments();
  Value(2, 5);
  Value(3, 7, kValueAdd);
  Value(4, 0, kValueSet);
  Value(5, 2, kValueMultiply);
  EXPECT_EQ(Movie(), 0);
  ClearDecodedArguments();
  Value(4, 100, kValueAdd);  // the width given as 0 grows by 100
  EXPECT_EQ(Movie(), 0);
  EXPECT_EQ(Info(1), 5);
  EXPECT_EQ(Info(2), 7);
  EXPECT_EQ(Info(3), 100);
  EXPECT_EQ(Info(4), kHeight * 2);
  // A file without the rectangle resets it; the name is lower-cased with '\' separators.
  ClearDecodedArguments();
  Text(0, "MOVIE/Opening.mpg");
  EXPECT_EQ(Movie(), 0);
  EXPECT_EQ(g_movie.name, "movie\\opening.mpg");
  EXPECT_EQ(Info(1), 0);
  EXPECT_EQ(Info(2), 0);
  EXPECT_EQ(Info(3), kWidth);
  EXPECT_EQ(Info(4), kHeight);
  // With the rectangle given, it is combined as usual.
  ClearDecodedArguments();
  Text(0, "movie\\opening.mpg");
  Value(2, 3, kValueAdd);
  Value(4, 10, kValueSubtract);
  EXPECT_EQ(Movie(), 0);
  EXPECT_EQ(Info(1), 3);
  EXPECT_EQ(Info(3), kWidth - 10);
  EXPECT_EQ(Info(2), 0);
}

TEST_F(MovieCommands, OnlyLooseFilesUpTo260Bytes) {
  const struct {
    std::string name;
    bool found;
  } cases[] = {
      {"movie/opening.mpg", true},
      {"movie/missing.mpg", false},
      {"movie", false},                    // a folder
      {"../movie/opening.mpg", false},     // outside the game folder
      {"", false},
      {std::string(261, 'a'), false},      // longer than a path may be
      {std::string(255, '/') + "movie/opening.mpg", false},
  };
  for (const auto& c : cases) {
    const uint32_t before = Reports();
    ClearDecodedArguments();
    Text(0, c.name);
    EXPECT_EQ(Movie(), c.found ? 0 : -1) << c.name;
    if (!c.found) {
      EXPECT_EQ(Reports(), before + 1) << c.name;
      EXPECT_EQ(LastCode(), 104060) << c.name;
    }
    EXPECT_EQ(Info(6, c.name), c.found ? 1 : 0) << c.name;
  }
}

// The report names the file as the lookup saw it: lower case, '\' separators.
TEST_F(MovieCommands, MissingFileIsReportedUnderItsConvertedName) {
  Text(0, "Mov/None.mpg");
  EXPECT_EQ(Movie(), -1);
  EXPECT_EQ(LastCode(), 104060);
  EXPECT_NE(LastErrorReport().message.find("[mov\\none.mpg]"), std::string::npos)
      << LastErrorReport().message;
  EXPECT_EQ(LastErrorReport().message.find("Mov/"), std::string::npos);
}

TEST_F(MovieCommands, GraphPlayerStartsReportsFailuresAndClampsVolume) {
  Player(1);
  ClearDecodedArguments();
  Text(0, "movie/opening.mpg");
  Value(6, 300);  // clamped to 256
  Value(1, 1);
  EXPECT_EQ(Movie(), 0);
  EXPECT_EQ(Info(0), 1);
  EXPECT_EQ(Info(5), 256);
  EXPECT_TRUE(platform::MovieActive());
  EXPECT_EQ(g_frame.movie_open.load(), 0);
  EXPECT_EQ(platform::MovieVolume(), 0);
  ClearDecodedArguments();
  Value(6, 128);
  EXPECT_EQ(Movie(), 0);
  EXPECT_EQ(platform::MovieVolume(), -1204);
  ClearDecodedArguments();
  Value(6, -5);
  EXPECT_EQ(Movie(), 0);
  EXPECT_EQ(Info(5), 0);
  EXPECT_EQ(platform::MovieVolume(), -10000);

  // A new file stops the running player.
  ClearDecodedArguments();
  Text(0, "movie/opening.mpg");
  EXPECT_EQ(Movie(), 0);
  EXPECT_FALSE(platform::MovieActive());
  EXPECT_EQ(Info(0), 0);

  // A file that is no movie: 101510, not fatal, -1, and the playing byte stays 0.
  ClearDecodedArguments();
  Text(0, "notes.txt");
  Value(1, 1);
  const uint32_t before = Reports();
  EXPECT_EQ(Movie(), -1);
  EXPECT_EQ(Reports(), before + 1);
  EXPECT_EQ(LastCode(), 101510);
  EXPECT_EQ(Info(0), 0);
  EXPECT_FALSE(platform::MovieActive());
}

TEST_F(MovieCommands, MciPlayerFailsSilentlyAndUsesTheLinearLaw) {
  Player(0);
  ClearDecodedArguments();
  Text(0, "notes.txt");
  Value(1, 1);
  const uint32_t before = Reports();
  EXPECT_EQ(Movie(), 0);
  EXPECT_EQ(Reports(), before);
  EXPECT_EQ(g_frame.movie_open.load(), 0);
  EXPECT_EQ(Info(0), 0);

  ClearDecodedArguments();
  Text(0, "movie/opening.mpg");
  Value(6, 128);
  Value(1, 1);
  EXPECT_EQ(Movie(), 0);
  EXPECT_EQ(g_frame.movie_open.load(), 1);
  EXPECT_EQ(Info(0), 1);
  EXPECT_EQ(platform::MovieVolume(), LinearLevelMillibels(500));
  // Stopping closes it.
  ClearDecodedArguments();
  Value(1, 0);
  EXPECT_EQ(Movie(), 0);
  EXPECT_EQ(g_frame.movie_open.load(), 0);
  EXPECT_EQ(Info(0), 0);
  EXPECT_FALSE(platform::MovieActive());
}

TEST_F(MovieCommands, CloseResetsTheMovie) {
  for (int field0 : {0, 1}) {
    Player(field0);
    ClearDecodedArguments();
    Text(0, "movie/opening.mpg");
    Value(6, 100);
    Value(1, 1);
    EXPECT_EQ(Movie(), 0);
    ClearDecodedArguments();
    EXPECT_EQ(RunMovieCloseCommand(), 0);
    EXPECT_TRUE(g_movie.name.empty()) << field0;
    EXPECT_EQ(Info(0), 0) << field0;
    EXPECT_EQ(Info(5), 256) << field0;
    EXPECT_EQ(g_frame.movie_open.load(), 0) << field0;
    EXPECT_FALSE(platform::MovieActive()) << field0;
    // Starting without a file: the graph player reports it, the MCI player stays silent.
    ClearDecodedArguments();
    Value(1, 1);
    EXPECT_EQ(Movie(), field0 == 1 ? -1 : 0) << field0;
    EXPECT_EQ(Info(0), 0) << field0;
  }
}

TEST_F(MovieCommands, TheEndClearsThePlayingByteOnEitherPathAndRepaints) {
  for (int field0 : {0, 1}) {
    Player(field0);
    g_frame.draw_while_movie_closed_only = field0 == 0 ? 1 : 0;
    ClearDecodedArguments();
    Text(0, "movie/opening.mpg");
    Value(1, 1);
    ASSERT_EQ(Movie(), 0);
    ASSERT_FALSE(DrawConditionHolds());
    ResetAllLayerDirtyRects();
    uint32_t t = 0;
    while (Info(0) == 1 && t < 3000) {
      PresentMovieFrame();
      PumpMessages();
      if (Info(0) == 1) {
        platform::AdvanceClockForTest(10);
        t += 10;
      }
    }
    EXPECT_GE(t, 2010u) << field0;
    EXPECT_LT(t, 2030u) << field0;
    EXPECT_EQ(Root()->needs_redraw, 1) << field0;
    EXPECT_FALSE(platform::HasFrameOverlay(g_windows[0]->handle)) << field0;
    ClearDecodedArguments();
    EXPECT_EQ(RunMovieCloseCommand(), 0);
  }
}

// The GPU presenter gets the last frame itself and lays window 0's overlays over it, as the GPU
// path does: the picture lands in the movie's rectangle and the frame is left as it was.
std::vector<uint8_t> g_gpu_got;
int32_t FakeGpuDraw(const uint8_t* pixels) {
  const LayerData* root = LayerOf(g_windows[0]->root_layer);
  if (root == nullptr || pixels != root->pixels) return 0;
  g_gpu_got.assign(pixels, pixels + size_t(64) * 48 * 4);  // the fixture's 64 x 48 frame
  platform::DrawFrameOverlays(g_windows[0]->handle, g_gpu_got.data(), 64, 48, 64 * 4, 0);
  return 0;
}

TEST_F(MovieCommands, TheGpuPresenterGetsTheFrameAndThePictureOverlay) {
  const DrawingModeState saved = g_drawing;
  InitFramePresentation();
  g_drawing.gpu = 1;
  g_presentation.gpu_draw = FakeGpuDraw;
  g_gpu_got.clear();
  Player(1);
  LayerData* root = Root();
  std::memset(root->pixels, 0x11, size_t(kWidth) * kHeight * 4);
  ClearDecodedArguments();
  Text(0, "movie/opening.mpg");
  Value(2, 8);
  Value(3, 4);
  Value(4, 32);
  Value(5, 24);
  Value(1, 1);
  ASSERT_EQ(Movie(), 0);
  for (int i = 0; i < 10 && g_gpu_got.empty(); ++i) {
    PresentMovieFrame();
    platform::AdvanceClockForTest(10);
  }
  g_drawing = saved;
  g_presentation.gpu_draw = nullptr;
  ASSERT_FALSE(g_gpu_got.empty());
  int inside = 0;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint8_t* px = g_gpu_got.data() + (size_t(y) * kWidth + size_t(x)) * 4;
      const bool in = x >= 8 && x < 40 && y >= 4 && y < 28;
      if (in) {
        inside += px[3] == 255 ? 1 : 0;
      } else {
        ASSERT_EQ(px[0] | px[1] << 8 | px[2] << 16 | px[3] << 24, 0x11111111) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(inside, 32 * 24);
  EXPECT_EQ(root->pixels[(4 * kWidth + 8) * 4 + 3], 0x11) << "the frame itself is untouched";
}

}  // namespace
}  // namespace korvel
