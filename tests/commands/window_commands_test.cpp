// Commands 88, 89 and 90 against the headless window records: opening extra windows (sizes,
// position by the window option), the command's errors, display sizes, full screen and back,
// z-order, flashing, root layers shared between windows, shapes, and answers of a closed window.
#include "commands/window_commands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "commands/window_shape.h"
#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/frame_step.h"
#include "core/project_config.h"
#include "layer/layer_test_env.h"
#include "platform/headless/headless_api.h"
#include "render/full_screen.h"
#include "render/screen_state.h"
#include "render/scaled_frame_buffer.h"
#include "script/decoded_arguments.h"
#include "script/variables.h"

namespace korvel {
namespace {

constexpr uint32_t kIntVar = 1000, kRealVar = 1001, kTextVar = 1002;

// The decoded arguments of one command, as the argument decoder leaves them.
class Args {
 public:
  Args() { ClearDecodedArguments(); }
  Args& Set(uint8_t param, int64_t value) {
    At(param).value = value;
    return *this;
  }
  Args& Text(uint8_t param, const std::string& text) {
    DecodedArgument& a = At(param);
    if (a.text == nullptr) a.text = static_cast<char*>(std::calloc(4096, 1));
    std::memcpy(a.text, text.c_str(), std::min<size_t>(text.size() + 1, 4095));
    a.text_length = text.size();
    return *this;
  }
  Args& Var(uint8_t param, uint32_t number) {
    At(param).var_number = number;
    return *this;
  }

 private:
  static DecodedArgument& At(uint8_t param) {
    if (g_args.presence[param] == 0) g_args.presence[param] = static_cast<uint8_t>(++g_args.count);
    return g_args.at[g_args.presence[param]];
  }
};

class WindowCommandsTest : public test::LayerEnv {
 protected:
  void SetUp() override {
    // Text buffers of the argument set are this test's own; earlier users' are put back after.
    for (int i = 0; i <= kMaxArgumentPositions; ++i) {
      saved_texts_[i] = g_args.at[i].text;
      g_args.at[i].text = nullptr;
    }
    ClearDecodedArguments();
    LayerEnv::SetUp();
    InitDisplayState();
    SetWindowedDisplay(kWidth, kHeight);
    g_settings = EngineSettings{};
    g_project = ProjectConfig{};
    InitDisplayScreen();
    ASSERT_EQ(CreateVariableRecords(1010), 0);
    const uint32_t one[] = {1};
    ASSERT_EQ(FillVarIntInit(kIntVar, 1, one, -5), 0);
    ASSERT_EQ(FillVarRealInit(kRealVar, 1, one, -5.0), 0);
    ASSERT_EQ(FillVarStringInit(kTextVar, 1, one, "old"), 0);
  }
  void TearDown() override {
    FreeDecodedArguments();
    for (int i = 0; i <= kMaxArgumentPositions; ++i) g_args.at[i].text = saved_texts_[i];
    FreeVariableRecords();
    ReleaseScaledFrameBuffer();
    for (int i = 1; i < kWindowCount; ++i) {
      if (g_windows[i] != nullptr && g_windows[i]->handle != platform::kNoWindow) {
        platform::DestroyWindow(g_windows[i]->handle);
        g_windows[i]->handle = platform::kNoWindow;
      }
    }
    LayerEnv::TearDown();
  }
  static platform::HeadlessWindowInfo Info(int32_t window) {
    platform::HeadlessWindowInfo info;
    EXPECT_TRUE(platform::GetHeadlessWindowInfo(g_windows[window]->handle, &info)) << window;
    return info;
  }
  static int32_t Window(const Args&) { return ApplyWindowCommand(); }

 private:
  char* saved_texts_[kMaxArgumentPositions + 1] = {};

 protected:
  static int64_t Ask(int32_t window, uint8_t keyword, uint32_t var = kIntVar) {
    Args a;
    a.Set(0, window).Var(1, var).Set(keyword, 1);
    EXPECT_EQ(ApplyWindowInfoCommand(), 0);
    return GetVarIntElement(var, 0);
  }
};

TEST_F(WindowCommandsTest, OpeningAnExtraWindow) {
  struct Case {
    const char* what;
    uint8_t window_option;
    bool sized;
    int32_t x, y, w, h;
  };
  const Case cases[] = {
      {"no size, option 0: 128 x 128 centred on the work area", 0, false, 960 - 64, 540 - 64, 128,
       128},
      {"no size, option 1: at the origin", 1, false, 0, 0, 128, 128},
      {"a given size", 1, true, 0, 0, 300, 200},
  };
  int32_t window = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_project.window_option = c.window_option;
    Args a;
    a.Set(0, window).Text(1, "extra");
    if (c.sized) a.Set(7, c.w).Set(8, c.h);
    ASSERT_EQ(Window(a), 0);
    const auto info = Info(window);
    EXPECT_EQ(info.x, c.x);
    EXPECT_EQ(info.y, c.y);
    EXPECT_EQ(info.width, c.w);
    EXPECT_EQ(info.height, c.h);
    EXPECT_TRUE(info.visible);
    EXPECT_EQ(info.title, "extra");
    EXPECT_EQ(g_window_slots[window], 1);
    EXPECT_EQ(Ask(window, 2), 1);
    ++window;
  }
}

TEST_F(WindowCommandsTest, ErrorsOfCommand88And89) {
  struct Case {
    const char* what;
    Args (*make)();
    int32_t code;
  };
  const Case cases[] = {
      {"a closed window opened without a title", [] { return Args().Set(0, 1).Set(7, 200); },
       101320},
      {"z-order 3 on window 0", [] { return Args().Set(0, 0).Set(6, 3); }, 101310},
      {"state 3 on window 0", [] { return Args().Set(0, 0).Set(18, 3); }, 101310},
      {"window 4", [] { return Args().Set(0, 4).Text(1, "x"); }, 101000},
      {"window -1", [] { return Args().Set(0, -1).Text(1, "x"); }, 101000},
      {"logical width 0", [] { return Args().Set(0, 0).Set(7, 0); }, 101000},
      {"logical height 8193", [] { return Args().Set(0, 0).Set(8, 8193); }, 101000},
      {"an unknown root layer", [] { return Args().Set(0, 0).Text(21, "nowhere"); }, 101250},
      {"an unknown shape layer", [] { return Args().Set(0, 0).Text(23, "nowhere"); }, 101250},
      {"an unknown pick layer", [] { return Args().Set(0, 0).Text(24, "nowhere"); }, 101250},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t before = Reports();
    c.make();
    EXPECT_EQ(ApplyWindowCommand(), -1);
    EXPECT_EQ(Reports(), before + 1);
    EXPECT_EQ(LastCode(), c.code);
  }
  EXPECT_EQ(g_window_slots[1], -1);
  EXPECT_EQ(g_windows[0]->logical_width, kWidth);

  Args().Set(0, 0);
  EXPECT_EQ(ApplyHideWindowCommand(), -1);
  EXPECT_EQ(LastCode(), 101330);
  ClearDecodedArguments();
  EXPECT_EQ(ApplyHideWindowCommand(), 0);  // no window number: nothing
}

TEST_F(WindowCommandsTest, StateOutsideZeroToTwoIsAllowedOnExtraWindows) {
  ASSERT_EQ(Window(Args().Set(0, 1).Text(1, "a").Set(18, 3)), 0);
  EXPECT_EQ(g_windows[1]->state, 3);
  Args().Set(0, 1);
  ASSERT_EQ(ApplyHideWindowCommand(), 0);
  EXPECT_FALSE(Info(1).visible);
}

TEST_F(WindowCommandsTest, SizesPositionAndDisplaySizes) {
  platform::SetWindowPosition(g_windows[0]->handle, 100, 50);
  // A new logical size keeps the top-left corner.
  ASSERT_EQ(Window(Args().Set(0, 0).Set(7, 320).Set(8, 240)), 0);
  auto info = Info(0);
  EXPECT_EQ(info.x, 100);
  EXPECT_EQ(info.y, 50);
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 240);
  EXPECT_EQ(g_windows[0]->client_rect.right, 320);
  // -1 leaves a side unchanged.
  ASSERT_EQ(Window(Args().Set(0, 0).Set(7, -1).Set(8, 200)), 0);
  EXPECT_EQ(Info(0).width, 320);
  EXPECT_EQ(Info(0).height, 200);
  ASSERT_EQ(Window(Args().Set(0, 0).Set(7, 320).Set(8, 240)), 0);

  struct Case {
    uint8_t param;
    int64_t value;
    int32_t w, h;
  };
  const Case cases[] = {
      {9, 640, 640, 480},     {10, 120, 160, 120},   {9, 0, 160, 120},  // below 1: ignored
      {9, -30, 160, 120},     {9, 5000, 1920, 1440}, {10, 5000, 1440, 1080},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.param} << " = " << c.value);
    ASSERT_EQ(Window(Args().Set(0, 0).Set(c.param, c.value)), 0);
    EXPECT_EQ(Info(0).width, c.w);
    EXPECT_EQ(Info(0).height, c.h);
    EXPECT_EQ(Info(0).x, 100);
  }
  ASSERT_EQ(Window(Args().Set(0, 0).Set(4, -20).Set(5, 30)), 0);
  EXPECT_EQ(Info(0).x, -20);
  EXPECT_EQ(Info(0).y, 30);
  EXPECT_EQ(Ask(0, 7), -20);
  EXPECT_EQ(Ask(0, 10), 320);
  EXPECT_EQ(Ask(0, 12), 1440);
}

TEST_F(WindowCommandsTest, FullScreenAndBack) {
  ASSERT_EQ(Window(Args().Set(0, 0).Set(7, 640).Set(8, 480)), 0);
  ResetAllLayerDirtyRects();
  ASSERT_EQ(Window(Args().Set(0, 0).Set(13, 1)), 0);
  auto info = Info(0);
  EXPECT_TRUE(info.full_screen);
  EXPECT_TRUE(info.borderless);
  // The smallest 16:9 mode of at least 640 x 480 among the default monitor's modes.
  EXPECT_EQ(info.width, 1280);
  EXPECT_EQ(info.height, 720);
  EXPECT_EQ(g_display.full_screen, 1);
  EXPECT_EQ(g_display.display_width, 960);  // fit: the height fills, bands left and right
  EXPECT_EQ(g_display.offset_x, 160);
  EXPECT_EQ(Ask(0, 15), 1);
  EXPECT_NE(Root()->needs_redraw, 0);
  // Sizes are ignored in full screen.
  ASSERT_EQ(Window(Args().Set(0, 0).Set(7, 800).Set(9, 100)), 0);
  EXPECT_EQ(g_windows[0]->logical_width, 640);
  EXPECT_EQ(Info(0).width, 1280);

  ResetAllLayerDirtyRects();
  ASSERT_EQ(Window(Args().Set(0, 0).Set(13, 0)), 0);
  info = Info(0);
  EXPECT_FALSE(info.full_screen);
  EXPECT_FALSE(info.borderless);
  EXPECT_EQ(info.width, 640);
  EXPECT_EQ(info.height, 480);
  EXPECT_EQ(info.x, 960 - 320);
  EXPECT_EQ(info.y, 540 - 240);
  EXPECT_EQ(g_display.full_screen, 0);
  EXPECT_EQ(g_display.display_width, 640);
  EXPECT_EQ(g_display.offset_x, 0);
  EXPECT_EQ(g_frame.countdown_border, kBorderCountdownFrames);
  EXPECT_NE(Root()->needs_redraw, 0);
  EXPECT_EQ(Ask(0, 15), 0);
}

// Leaving full screen puts the other windows back as they were on entering it, all but what a
// command changed meanwhile: the script's size or position stays.
TEST_F(WindowCommandsTest, LeavingFullScreenKeepsWhatTheScriptChanged) {
  g_project.window_option = 1;
  ASSERT_EQ(Window(Args().Set(0, 1).Text(1, "sized").Set(7, 300).Set(8, 200)), 0);
  ASSERT_EQ(Window(Args().Set(0, 2).Text(1, "moved").Set(7, 300).Set(8, 200)), 0);
  ASSERT_EQ(Window(Args().Set(0, 1).Set(4, 100).Set(5, 50)), 0);
  ASSERT_EQ(Window(Args().Set(0, 2).Set(4, 400).Set(5, 60)), 0);
  ASSERT_EQ(Window(Args().Set(0, 0).Set(13, 1)), 0);
  for (const int32_t window : {1, 2}) {  // what the mode change itself may do to them
    platform::SetWindowPosition(g_windows[window]->handle, 5, 7);
    platform::SetWindowClientSize(g_windows[window]->handle, 64, 32);
  }
  ASSERT_EQ(Window(Args().Set(0, 1).Set(7, 320).Set(8, 240)), 0);
  ASSERT_EQ(Window(Args().Set(0, 2).Set(4, 10).Set(5, 20)), 0);
  ASSERT_EQ(Window(Args().Set(0, 0).Set(13, 0)), 0);
  struct Want {
    int32_t window, x, y, width, height;
  };
  for (const Want& want : {Want{1, 100, 50, 320, 240}, Want{2, 10, 20, 300, 200}}) {
    const auto info = Info(want.window);
    EXPECT_EQ(info.x, want.x) << want.window;
    EXPECT_EQ(info.y, want.y) << want.window;
    EXPECT_EQ(info.width, want.width) << want.window;
    EXPECT_EQ(info.height, want.height) << want.window;
  }
  // Entering again takes the places as they are now.
  ASSERT_EQ(Window(Args().Set(0, 0).Set(13, 1)), 0);
  platform::SetWindowPosition(g_windows[1]->handle, 5, 7);
  ASSERT_EQ(Window(Args().Set(0, 0).Set(13, 0)), 0);
  EXPECT_EQ(Info(1).x, 100);
  EXPECT_EQ(Info(1).width, 320);
}

TEST_F(WindowCommandsTest, FullScreenWithoutAMatchingModeGoesBackWithItsMessage) {
  std::string error;
  ASSERT_TRUE(platform::SetHeadlessMonitors("1920x1080+0+0:1920x1080@16", &error)) << error;
  InitDisplayScreen();
  QueueOk();
  ASSERT_EQ(Window(Args().Set(0, 0).Set(13, 1)), 0);
  EXPECT_FALSE(Info(0).full_screen);
  EXPECT_EQ(g_display.full_screen, 0);
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);  // the message was shown
}

TEST_F(WindowCommandsTest, ZOrderFlashShowStateAndFrame) {
  ASSERT_EQ(Window(Args().Set(0, 1).Text(1, "a")), 0);
  ASSERT_EQ(Window(Args().Set(0, 1).Set(6, 1)), 0);
  EXPECT_TRUE(Info(1).topmost);
  ASSERT_EQ(Window(Args().Set(0, 1).Set(6, 3)), 0);
  EXPECT_FALSE(Info(1).topmost);
  EXPECT_LT(Info(1).z, Info(0).z);
  ASSERT_EQ(Window(Args().Set(0, 1).Set(6, 0)), 0);
  EXPECT_GT(Info(1).z, Info(0).z);
  ASSERT_EQ(Window(Args().Set(0, 1).Set(19, 4).Set(20, 3)), 0);
  EXPECT_EQ(Info(1).flash_count, 4u);
  EXPECT_EQ(Info(1).flash_flags, 3u);
  ASSERT_EQ(Window(Args().Set(0, 1).Set(3, 0)), 0);
  EXPECT_FALSE(Info(1).visible);
  ASSERT_EQ(Window(Args().Set(0, 1).Set(3, 1)), 0);
  EXPECT_TRUE(Info(1).visible);
  ASSERT_EQ(Window(Args().Set(0, 0).Set(12, 0)), 0);
  EXPECT_FALSE(Info(0).maximizable);
  ASSERT_EQ(Window(Args().Set(0, 0).Set(25, 1)), 0);
  EXPECT_TRUE(Info(0).resizable);
  EXPECT_EQ(g_project.resizable_main_window, 1);
  ASSERT_EQ(Window(Args().Set(0, 1).Set(2, 77).Set(16, 1).Set(17, 0)), 0);
  EXPECT_EQ(Ask(1, 3), 77);
  EXPECT_EQ(g_windows[1]->main_flag, 1);
  EXPECT_EQ(g_windows[1]->minimise_allowed, 0);
  ASSERT_EQ(Window(Args().Set(0, 1).Set(14, 1)), 0);
  EXPECT_FALSE(Info(1).visible);
}

TEST_F(WindowCommandsTest, TitlesAreCutOnACharacterBoundary) {
  // 259 ASCII bytes and a double-byte character: the character would end at 261 and goes.
  const std::string title = std::string(259, 'a') + "\x82\xA0" + "tail";
  ASSERT_EQ(Window(Args().Set(0, 0).Text(1, title)), 0);
  EXPECT_EQ(std::strlen(g_windows[0]->title), 259u);
  ASSERT_EQ(Window(Args().Set(0, 0).Text(1, "")), 0);
  EXPECT_STREQ(g_windows[0]->title, " ");
  ASSERT_EQ(Window(Args().Set(0, 0).Text(1, "\x83\x65\x83\x58")), 0);
  Args a;
  a.Set(0, 0).Var(1, kTextVar).Set(6, 1);
  ASSERT_EQ(ApplyWindowInfoCommand(), 0);
  EXPECT_STREQ(GetVarStringElement(kTextVar, 0), "\x83\x65\x83\x58");
  // A number variable asked for the title stays as it was.
  EXPECT_EQ(Ask(0, 6), -5);
}

TEST_F(WindowCommandsTest, ClosedWindowAnswersZeroForEveryKeyword) {
  for (uint8_t keyword : {2, 3, 4, 5, 7, 10, 12, 14, 15, 17}) {
    SCOPED_TRACE(int{keyword});
    SetVarNumberElement(kIntVar, 0, -5);
    EXPECT_EQ(Ask(2, keyword), 0);
    SetVarRealElement(kRealVar, 0, -5.0);
    Ask(2, keyword, kRealVar);
    EXPECT_EQ(GetVarRealElement(kRealVar, 0), 0.0);
  }
  Args a;
  a.Set(0, 2).Var(1, kTextVar).Set(2, 1);
  ASSERT_EQ(ApplyWindowInfoCommand(), 0);
  EXPECT_STREQ(GetVarStringElement(kTextVar, 0), "");
  // Open, a text variable asked for a number is the type error.
  Args b;
  b.Set(0, 0).Var(1, kTextVar).Set(10, 1);
  EXPECT_EQ(ApplyWindowInfoCommand(), -1);
  EXPECT_EQ(LastCode(), 101140);
}

TEST_F(WindowCommandsTest, RootLayersSharedBetweenWindows) {
  MakeImage("pic", 0, 0, 8, 8, 1, 0xFF00FF00);
  ASSERT_EQ(Window(Args().Set(0, 1).Text(1, "a").Text(21, "pic")), 0);
  ASSERT_EQ(Window(Args().Set(0, 2).Text(1, "b").Text(21, "pic")), 0);
  EXPECT_EQ(Layer("pic")->is_window_root, 1);
  // Window 1 moves to another root: window 2 still shows "pic".
  MakeImage("other", 0, 0, 8, 8, 2, 0xFF0000FF);
  ASSERT_EQ(Window(Args().Set(0, 1).Text(21, "other")), 0);
  EXPECT_EQ(Layer("pic")->is_window_root, 1);
  EXPECT_EQ(Layer("other")->is_window_root, 1);
  EXPECT_NE(Layer("other")->needs_redraw, 0);
  ASSERT_EQ(Window(Args().Set(0, 2).Text(21, "other")), 0);
  EXPECT_EQ(Layer("pic")->is_window_root, 0);
  // Releasing the layer clears the roots that name it.
  ASSERT_EQ(ApplyReleaseLayerCommand("other"), 0);
  EXPECT_EQ(g_windows[1]->root_layer, nullptr);
  EXPECT_EQ(g_windows[2]->root_layer, nullptr);
}

TEST_F(WindowCommandsTest, ShapesGoToTheMainWindow) {
  // A 4 x 3 layer: row 0 two runs, row 1 black, row 2 one run.
  LayerData* l = MakeImage("shape", 0, 0, 4, 3, 1, 0xFF000000);
  const auto put = [l](int x, int y, uint32_t v) { std::memcpy(l->pixels + (y * 4 + x) * 4, &v, 4); };
  put(0, 0, 0xFFFFFFFF);
  put(2, 0, 0x00010000);  // alpha does not count
  put(3, 0, 0xFF000001);
  put(1, 2, 0xFF123456);
  put(2, 2, 0xFF123456);
  ASSERT_EQ(Window(Args().Set(0, 1).Text(1, "a").Text(23, "shape")), 0);
  auto info = Info(0);
  ASSERT_TRUE(info.shaped);
  ASSERT_EQ(info.shape.size(), 3u);
  EXPECT_EQ(info.shape[0].left, 0);
  EXPECT_EQ(info.shape[0].right, 1);
  EXPECT_EQ(info.shape[1].left, 2);
  EXPECT_EQ(info.shape[1].right, 4);
  EXPECT_EQ(info.shape[2].top, 2);
  EXPECT_EQ(info.shape[2].bottom, 3);
  EXPECT_FALSE(Info(1).shaped);

  // 2000 runs: the shape fails quietly and the old one stays.
  MakeImage("comb", 0, 0, 4000, 1, 2, 0xFF000000);
  LayerData* comb = Layer("comb");
  for (int x = 0; x < 4000; x += 2) std::memset(comb->pixels + x * 4, 0xFF, 4);
  const uint32_t reports = Reports();
  EXPECT_NE(Window(Args().Set(0, 0).Text(23, "comb")), 0);
  EXPECT_EQ(Reports(), reports);
  EXPECT_EQ(Info(0).shape.size(), 3u);
  // 1999 runs are fine.
  std::memset(comb->pixels + 3998 * 4, 0, 4);
  ASSERT_EQ(Window(Args().Set(0, 0).Text(23, "comb")), 0);
  EXPECT_EQ(Info(0).shape.size(), 1999u);
  // All black: an empty shape.
  Fill("shape", 0xFF000000);
  ASSERT_EQ(Window(Args().Set(0, 0).Text(23, "shape")), 0);
  EXPECT_TRUE(Info(0).shaped);
  EXPECT_TRUE(Info(0).shape.empty());
}

TEST_F(WindowCommandsTest, PickLayerSwitchesDraggingOn) {
  MakeImage("handle", 0, 0, 8, 8, 1, 0xFF00FF00);
  ASSERT_EQ(Window(Args().Set(0, 0).Text(24, "handle")), 0);
  EXPECT_EQ(g_window_drag.enabled.load(), 1);
  EXPECT_EQ(g_window_drag.layer_path, "handle");
}

}  // namespace
}  // namespace korvel
