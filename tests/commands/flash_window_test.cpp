// The Flash window: the rectangle and open-byte rules, the queries with and without a control (a
// fake host serves one), the missing-library message once per run, and the overlay's rectangle.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "commands/command_args.h"
#include "commands/flash_host.h"
#include "commands/flash_window.h"
#include "core/display_state.h"
#include "layer/layer_test_env.h"
#include "platform/frame_overlay.h"
#include "platform/headless/headless_api.h"
#include "resource/compiler_output.h"
#include "resource/data_file_lookup.h"
#include "script/variables.h"

namespace korvel {
namespace {

constexpr uint32_t kIntVar = 1000;
constexpr uint32_t kRealVar = 1001;
constexpr uint32_t kTextVar = 1002;

// A control that plays "movie.swf": 120 frames, at frame 7, root variable korvel = the text set.
struct FakeControl {
  int loads = 0, creates = 0, releases = 0, plays = 0;
  bool library = true;
  std::string movie;
  std::string variable = "42";
  bool has_variable = true;
};
FakeControl g_fake;

FlashHost FakeHost() {
  FlashHost host;
  host.load_library = [] {
    ++g_fake.loads;
    return g_fake.library;
  };
  host.create_control = [] {
    ++g_fake.creates;
    return int32_t{0};
  };
  host.put_movie = [](const std::string& path) { g_fake.movie = path; };
  host.total_frames = [](int32_t* frames) {
    *frames = 120;
    return true;
  };
  host.play = [] { ++g_fake.plays; };
  host.playing = [] { return int16_t{-1}; };
  host.current_frame = [] { return int32_t{7}; };
  host.get_variable = [](const std::string& name, std::string* value) {
    if (name != "korvel" || !g_fake.has_variable) return false;
    *value = g_fake.variable;
    return true;
  };
  host.release = [] { ++g_fake.releases; };
  return host;
}

// A rectangle parameter of command 17: a value and its assignment operator; -1 leaves it out.
struct Rect {
  int64_t value = -1;
  uint32_t op = 0;
};

class FlashWindowTest : public test::LayerEnv {
 protected:
  void SetUp() override {
    LayerEnv::SetUp();
    InitResourceLookup(files_.path());
    files_.Write("movie.swf", "FWS");
    files_.Write("sub/clip.swf", "FWS");
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    const uint32_t dims[1] = {2};
    ASSERT_EQ(FillVarIntInit(kIntVar, 1, dims, -9), 0);
    ASSERT_EQ(FillVarRealInit(kRealVar, 1, dims, -9.0), 0);
    ASSERT_EQ(FillVarStringInit(kTextVar, 1, dims, ""), 0);
    InitFlashWindow();
    g_fake = FakeControl{};
  }
  void TearDown() override {
    test::ResetCommandArgs();
    InitFlashWindow();
    FreeVariableRecords();
    ShutdownResourceLookup();
    LayerEnv::TearDown();
  }

  // Command 17 with a file (or none), the open switch (or none) and the rectangle parameters
  // given as (value, operator) pairs; -1 values leave a parameter out.
  int32_t Open(const std::string& file, int64_t open, Rect x = {}, Rect y = {}, Rect w = {},
               Rect h = {}, int64_t user = -1) {
    args_.Clear();
    if (!file.empty()) args_.Text(0, file);
    if (open >= 0) args_.Num(1, open);
    const Rect* rect[4] = {&x, &y, &w, &h};
    for (uint8_t i = 0; i < 4; ++i) {
      if (rect[i]->value != -1) args_.Num(static_cast<uint8_t>(2 + i), rect[i]->value, rect[i]->op);
    }
    if (user != -1) args_.Num(6, user);
    return RunFlashOpenCommand();
  }
  int32_t Close() {
    args_.Clear();
    return RunFlashCloseCommand();
  }
  // Command 19 with the parameters `given` (0..8) into `var`.
  int64_t Query(std::vector<uint8_t> given, uint32_t var = kIntVar) {
    args_.Clear();
    for (uint8_t p : given) args_.Num(p, 0);
    args_.Dest(9, var);
    EXPECT_EQ(RunFlashQueryCommand(), 0);
    return GetVarIntElement(var, 0);
  }
  static void Answer() { QueueOk(); }

  test::TempDir files_;
  test::CommandArgs args_;
};

// The edge cases on the engine's own host: no control is ever hosted.
TEST_F(FlashWindowTest, WithoutAControlEveryQueryAnswersAsWithoutOne) {
  EXPECT_EQ(Query({8}), 0) << "frame count before any open";
  EXPECT_EQ(Query({0}), 0) << "playing before any open";
  EXPECT_EQ(Query({1}), 0) << "root variable before any open";
  EXPECT_EQ(platform::HeadlessAbortStatus(), 0) << "no message before any open";

  Answer();  // "ATL.DLLが見つかりませんでした。", once
  ASSERT_EQ(Open("movie.swf", 1, {10}, {20}, {100}, {50}, 5), 0);
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  EXPECT_EQ(g_flash.open, 1);
  EXPECT_EQ(g_flash.window, 1) << "the window stays, empty";
  EXPECT_EQ(g_flash.control_count, 0);
  EXPECT_EQ(Query({8}), 0) << "hosting failed: no frames";
  EXPECT_EQ(Query({0}), 0);
  EXPECT_EQ(Query({1}), 0);
  EXPECT_EQ(Query({6}), 0);
  EXPECT_EQ(Query({7}), 5);
  EXPECT_EQ(Query({4, 8}), 100) << "only the first given answers";

  ASSERT_EQ(Close(), 0);
  EXPECT_EQ(Query({2}), 10) << "the rectangle outlives the window";
  EXPECT_EQ(Query({7}), 0);
  // The second open shows no message and again hosts nothing.
  ASSERT_EQ(Open("", 1), 0);
  EXPECT_EQ(platform::HeadlessAbortStatus(), 0);
  EXPECT_EQ(g_flash.open, 1);
  EXPECT_EQ(g_flash.frame_count, 0);
  EXPECT_EQ(Reports(), 0u);
}

TEST_F(FlashWindowTest, RectangleRules) {
  g_flash_host = FakeHost();
  ASSERT_EQ(Open("movie.swf", 0, {10}, {20}, {100}, {100}), 0);
  struct Step {
    const char* what;
    std::string file;
    Rect x, y, w, h;
    int32_t ex, ey, ew, eh;
  };
  const Step steps[] = {
      {"a file resets what is not given", "movie.swf", {}, {}, {}, {}, 0, 0, kWidth, kHeight},
      {"add without a file changes only x", "", {16, 1}, {}, {}, {}, 16, 0, kWidth, kHeight},
      {"multiply uses the stored width", "movie.swf", {3}, {4}, {2, 3}, {9}, 3, 4, 2 * kWidth, 9},
      {"divide by 0 keeps the value", "", {0, 4}, {}, {}, {}, 3, 4, 2 * kWidth, 9},
      {"low 32 bits are stored", "", {int64_t{1} << 32 | 5}, {-1 - (int64_t{1} << 32), 0},
       {}, {}, 5, -1, 2 * kWidth, 9},
  };
  for (const Step& s : steps) {
    ASSERT_EQ(Open(s.file, -1, s.x, s.y, s.w, s.h), 0) << s.what;
    EXPECT_EQ(g_flash.x, s.ex) << s.what;
    EXPECT_EQ(g_flash.y, s.ey) << s.what;
    EXPECT_EQ(g_flash.width, s.ew) << s.what;
    EXPECT_EQ(g_flash.height, s.eh) << s.what;
  }
  // 1 opens; 2 or nothing does not.
  EXPECT_EQ(Open("movie.swf", 2), 0);
  EXPECT_EQ(g_flash.window, 0);
  EXPECT_EQ(Open("movie.swf", -1), 0);
  EXPECT_EQ(g_flash.window, 0);
  EXPECT_EQ(g_fake.loads, 0);
  EXPECT_EQ(Open("", 1), 0);
  EXPECT_EQ(g_flash.window, 1);
}

TEST_F(FlashWindowTest, MissingFilesKeepNameAndOpenByte) {
  g_flash_host = FakeHost();
  ASSERT_EQ(Open("Sub/Clip.SWF", 1), 0);
  EXPECT_STREQ(g_flash.file_name, "sub\\clip.swf");
  ASSERT_EQ(RegisterCompilerOutputFile("packed.swf", reinterpret_cast<const uint8_t*>("FWS"), 3),
            0);
  // 260 bytes: over the field (folders keep each name within what the file system allows).
  const std::string long_name = std::string(100, 'a') + "/" + std::string(155, 'a') + ".swf";
  files_.Write(long_name, "FWS");
  for (const std::string& name : {std::string("none.swf"), std::string("packed.swf"), long_name}) {
    const uint32_t reports = Reports();
    EXPECT_EQ(Open(name, 1), -1) << name;
    EXPECT_EQ(LastCode(), 104060) << name;
    EXPECT_EQ(Reports(), reports + 1);
    EXPECT_STREQ(g_flash.file_name, "sub\\clip.swf");
    EXPECT_EQ(g_flash.open, 1);
  }
  const std::string longest = std::string(100, 'b') + "/" + std::string(154, 'b') + ".swf";
  files_.Write(longest, "FWS");  // 259 bytes: fits
  EXPECT_EQ(Open(longest, 0), 0);
  EXPECT_EQ(std::string(g_flash.file_name), std::string(100, 'b') + "\\" + std::string(154, 'b') + ".swf");
  EXPECT_EQ(g_flash.open, 0) << "a new file clears the open byte";
  EXPECT_EQ(g_flash.window, 1) << "the window stays until it is closed";
}

TEST_F(FlashWindowTest, WithAControl) {
  g_flash_host = FakeHost();
  ASSERT_EQ(Open("movie.swf", 1, {}, {}, {}, {}, 77), 0);
  EXPECT_EQ(g_fake.loads, 1);
  EXPECT_EQ(g_fake.plays, 1);
  EXPECT_EQ(g_fake.movie, files_.path() + "/movie.swf");
  EXPECT_EQ(g_flash.control_count, 1);
  EXPECT_EQ(Query({0}), 1);
  EXPECT_EQ(Query({1}), 42);
  EXPECT_EQ(Query({6}), 7);
  EXPECT_EQ(Query({7}), 77);
  EXPECT_EQ(Query({8}), 120);
  Query({8}, kRealVar);
  EXPECT_EQ(GetVarRealElement(kRealVar, 0), 120.0);
  // An element outside the variable stores nothing.
  args_.Clear();
  args_.Num(8, 0).Dest(9, kIntVar, 2);
  EXPECT_EQ(RunFlashQueryCommand(), 0);
  // A string destination is 101140; the command still returns 0.
  args_.Clear();
  args_.Num(8, 0).Dest(9, kTextVar);
  EXPECT_EQ(RunFlashQueryCommand(), 0);
  EXPECT_EQ(LastCode(), 101140);

  // A missing or non-integer root variable: the message, answer 0.
  for (const char* text : {"", "12x", "99999999999999999999"}) {
    g_fake.variable = text;
    Answer();
    EXPECT_EQ(Query({1}), 0) << text;
    EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u) << text;
  }
  g_fake.variable = "-9223372036854775808";
  EXPECT_EQ(Query({1}), INT64_MIN);

  // Opening while open closes first: one control at a time.
  ASSERT_EQ(Open("", 1), 0);
  EXPECT_EQ(g_fake.releases, 1);
  EXPECT_EQ(g_flash.control_count, 1);
  ASSERT_EQ(Close(), 0);
  EXPECT_EQ(g_fake.releases, 2);
  EXPECT_EQ(g_flash.control_count, 0);
  EXPECT_EQ(Query({0}), 0);
  ASSERT_EQ(Close(), 0) << "a second close finds nothing";
  EXPECT_EQ(g_fake.releases, 2);
  EXPECT_EQ(g_flash.window, 0);
  EXPECT_EQ(g_flash.file_name[0], '\0');
  // Shutdown releases a control once.
  ASSERT_EQ(Open("movie.swf", 1), 0);
  ReleaseFlashWindow();
  ReleaseFlashWindow();
  EXPECT_EQ(g_fake.releases, 3);
}

TEST_F(FlashWindowTest, NoWindowZeroNoChildWindow) {
  g_flash_host = FakeHost();
  ASSERT_EQ(Open("movie.swf", 1), 0);
  ASSERT_EQ(g_flash.control_count, 1);
  const platform::WindowId handle = g_windows[0]->handle;
  g_windows[0]->handle = platform::kNoWindow;
  Answer();  // "ウィンドウを生成できませんでした。"
  EXPECT_EQ(Open("", 1), 0);
  g_windows[0]->handle = handle;
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  EXPECT_EQ(g_fake.releases, 1) << "the open window was closed first";
  EXPECT_EQ(g_flash.control_count, 0);
  EXPECT_EQ(g_flash.window, 0);
  EXPECT_EQ(g_flash.open, 0);
  EXPECT_EQ(Query({8}), 0);
  EXPECT_EQ(g_fake.loads, 1);
}

TEST_F(FlashWindowTest, OverlayRectangleFollowsThePresentation) {
  g_flash_host = FakeHost();
  struct Case {
    const char* what;
    int32_t present_w, present_h, left, top;
    int32_t x, y, w, h;
    int64_t ex, ey, ew, eh;
  };
  const Case cases[] = {
      {"twice the logical size", 2 * kWidth, 2 * kHeight, 0, 0, 10, 20, 100, 50, 10, 20, 200, 100},
      {"centred frame", kWidth, kHeight, 30, 5, 10, 20, 100, 50, 40, 25, 100, 50},
      {"truncated toward zero", kWidth + 1, kHeight, 0, 0, 0, 0, -3, 7, 0, 0, -3, 7},
      {"no 32-bit overflow", 2 * kWidth, kHeight, 0, 0, 0, 0, 1 << 30, 1, 0, 0, int64_t{1} << 31,
       1},
  };
  for (const Case& c : cases) {
    g_display.display_width = c.present_w;
    g_display.display_height = c.present_h;
    ASSERT_EQ(Open("movie.swf", 1, {c.x}, {c.y}, {c.w}, {c.h}), 0);
    int64_t x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(FlashWindowRect(c.left, c.top, &x, &y, &w, &h)) << c.what;
    EXPECT_EQ(x, c.ex) << c.what;
    EXPECT_EQ(y, c.ey) << c.what;
    EXPECT_EQ(w, c.ew) << c.what;
    EXPECT_EQ(h, c.eh) << c.what;
  }
  // Window 0's overlay: black inside the rectangle, clipped to the frame, untouched outside; the
  // frame's display offset moves it, and a strip above the client area is left alone.
  g_display.display_width = kWidth;
  g_display.display_height = kHeight;
  const platform::WindowId window = g_windows[0]->handle;
  ASSERT_EQ(Close(), 0);
  EXPECT_FALSE(platform::HasFrameOverlay(window));
  ASSERT_EQ(Open("", 1, {-2}, {40}, {5}, {100}), 0);
  EXPECT_TRUE(platform::HasFrameOverlay(window));
  struct Place {
    int32_t offset_x, offset_y, strip;
  };
  for (const Place& at : {Place{0, 0, 0}, Place{4, 2, 0}, Place{0, 0, 6}}) {
    g_display.offset_x = at.offset_x;
    g_display.offset_y = at.offset_y;
    const int32_t height = kHeight + at.strip;
    std::vector<uint8_t> canvas(size_t(kWidth) * height * 4, 0x77);
    platform::DrawFrameOverlays(window, canvas.data(), kWidth, height, kWidth * 4, at.strip);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        uint32_t p;
        std::memcpy(&p, canvas.data() + (size_t(y) * kWidth + x) * 4, 4);
        const int32_t cy = y - at.strip;
        const bool inside =
            cy >= 40 + at.offset_y && x >= at.offset_x - 2 && x < at.offset_x + 3;
        ASSERT_EQ(p, inside ? 0xFF000000u : 0x77777777u)
            << x << "," << y << " offset " << at.offset_x << " strip " << at.strip;
      }
    }
  }
  g_display.offset_x = g_display.offset_y = 0;
  std::vector<uint8_t> frame(size_t(kWidth) * kHeight * 4, 0x77);
  int32_t pitch = kWidth * 4;
  EXPECT_EQ(platform::ApplyFrameOverlays(window + 1, frame.data(), kWidth, kHeight, &pitch),
            frame.data())
      << "only window 0";
  ASSERT_EQ(Close(), 0);
  EXPECT_FALSE(platform::HasFrameOverlay(window));
}

// Every edge case as one row: the steps on the engine's host or the fake one, then one query.
class FlashEdgeCases;
struct EdgeCase {
  const char* name;
  bool fake_host;
  std::function<void(FlashEdgeCases&)> steps;
  std::vector<uint8_t> query;
  double answer;
  int messages;  // message boxes the steps and the query show
  bool real = false;  // answer into the double variable
};

class FlashEdgeCases : public FlashWindowTest {
 public:
  using FlashWindowTest::Close;
  using FlashWindowTest::Open;
  void Run(const EdgeCase& c) {
    if (c.fake_host) g_flash_host = FakeHost();
    for (int i = 0; i < c.messages; ++i) Answer();
    c.steps(*this);
    if (c.real) {
      Query(c.query, kRealVar);
      EXPECT_EQ(GetVarRealElement(kRealVar, 0), c.answer) << c.name;
    } else {
      EXPECT_EQ(Query(c.query), static_cast<int64_t>(c.answer)) << c.name;
    }
    EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u) << c.name << ": fewer messages";
    EXPECT_EQ(platform::HeadlessAbortStatus(), 0) << c.name << ": more messages";
  }
};

TEST_F(FlashEdgeCases, Table) {
  using F = FlashEdgeCases;
  const EdgeCase cases[] = {
      {"frame count before any open", false, [](F&) {}, {8}, 0, 0},
      {"frame count after hosting failed", false,
       [](F& t) { ASSERT_EQ(t.Open("movie.swf", 1), 0); }, {8}, 0, 1},
      {"playing before any open", true, [](F&) {}, {0}, 0, 0},
      {"root variable before any open shows no message", true, [](F&) {}, {1}, 0, 0},
      {"width and frame count given: the width", true,
       [](F& t) { ASSERT_EQ(t.Open("movie.swf", 1, {0}, {0}, {100}, {40}), 0); }, {4, 8}, 100, 0},
      {"x after close", true,
       [](F& t) {
         ASSERT_EQ(t.Open("movie.swf", 1, {12}), 0);
         ASSERT_EQ(t.Close(), 0);
       },
       {2}, 12, 0},
      {"user value after close", true,
       [](F& t) {
         ASSERT_EQ(t.Open("movie.swf", 1, {}, {}, {}, {}, 5), 0);
         ASSERT_EQ(t.Close(), 0);
       },
       {7}, 0, 0},
      {"a file resets x", true,
       [](F& t) {
         ASSERT_EQ(t.Open("movie.swf", 1, {10}, {20}, {100}, {100}), 0);
         ASSERT_EQ(t.Open("movie.swf", -1), 0);
       },
       {2}, 0, 0},
      {"a file resets the width to the logical width", true,
       [](F& t) {
         ASSERT_EQ(t.Open("movie.swf", 1, {10}, {20}, {100}, {100}), 0);
         ASSERT_EQ(t.Open("movie.swf", -1), 0);
       },
       {4}, kWidth, 0},
      {"add 16 without a file", true,
       [](F& t) {
         ASSERT_EQ(t.Open("movie.swf", -1, {10}), 0);
         ASSERT_EQ(t.Open("", -1, {16, 1}), 0);
       },
       {2}, 26, 0},
      {"multiply 2 with a file doubles the stored width", true,
       [](F& t) {
         ASSERT_EQ(t.Open("movie.swf", -1, {}, {}, {30}), 0);
         ASSERT_EQ(t.Open("movie.swf", -1, {}, {}, {2, 3}), 0);
       },
       {4}, 60, 0},
      {"open switch 2 opens nothing", true,
       [](F& t) {
         ASSERT_EQ(t.Open("movie.swf", 2), 0);
         EXPECT_EQ(g_flash.window, 0);
       },
       {8}, 0, 0},
      {"no open switch opens nothing", true,
       [](F& t) {
         ASSERT_EQ(t.Open("movie.swf", -1), 0);
         EXPECT_EQ(g_flash.window, 0);
       },
       {8}, 0, 0},
      {"a movie only in the data sources is not found", true,
       [](F& t) {
         ASSERT_EQ(RegisterCompilerOutputFile("packed.swf",
                                              reinterpret_cast<const uint8_t*>("FWS"), 3),
                   0);
         EXPECT_EQ(t.Open("packed.swf", 1), -1);
         EXPECT_EQ(LastErrorReport().code, 104060);
       },
       {8}, 0, 0},  // the error dialog without an answer is taken as Exit
      {"frame count into a double", true, [](F& t) { ASSERT_EQ(t.Open("movie.swf", 1), 0); },
       {8}, 120.0, 0, true},
      {"close twice leaves the state cleared", true,
       [](F& t) {
         ASSERT_EQ(t.Open("movie.swf", 1), 0);
         ASSERT_EQ(t.Close(), 0);
         ASSERT_EQ(t.Close(), 0);
         EXPECT_EQ(g_flash.window, 0);
         EXPECT_EQ(g_flash.control_count, 0);
         EXPECT_EQ(g_fake.releases, 1);
       },
       {8}, 0, 0},
      {"missing library: one message for two opens", false,
       [](F& t) {
         ASSERT_EQ(t.Open("movie.swf", 1), 0);
         ASSERT_EQ(t.Close(), 0);
         ASSERT_EQ(t.Open("movie.swf", 1), 0);
         EXPECT_EQ(g_flash.window, 1);
       },
       {8}, 0, 1},
  };
  for (const EdgeCase& c : cases) {
    SCOPED_TRACE(c.name);
    InitFlashWindow();
    g_fake = FakeControl{};
    ShutdownCompilerOutput();
    Run(c);
  }
  // The presentation at twice the logical size places (10, 20, 100, 50) at (10, 20), 200 x 100.
  g_display.display_width = 2 * kWidth;
  g_display.display_height = 2 * kHeight;
  ASSERT_EQ(Open("movie.swf", 1, {10}, {20}, {100}, {50}), 0);
  int64_t x = 0, y = 0, w = 0, h = 0;
  ASSERT_TRUE(FlashWindowRect(0, 0, &x, &y, &w, &h));
  EXPECT_EQ((std::vector<int64_t>{x, y, w, h}), (std::vector<int64_t>{10, 20, 200, 100}));
}

}  // namespace
}  // namespace korvel
