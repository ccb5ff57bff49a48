// Command 4: the queries in their order of precedence, the missing-layer answers by variable type,
// the pixel queries at the edges of windows and layers, the visible box, and a layer without pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>
#include <string>

#include "command_args.h"
#include "commands/layer_query_command.h"
#include "layer/layer_test_env.h"
#include "script/variables.h"

namespace korvel {
namespace {

class LayerQueryTest : public test::LayerEnv {
 protected:
  void SetUp() override {
    LayerEnv::SetUp();
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    const uint32_t one[] = {1};
    ASSERT_EQ(FillVarIntInit(kInt, 1, one, -7), 0);
    ASSERT_EQ(FillVarRealInit(kReal, 1, one, -7.0), 0);
    ASSERT_EQ(FillVarStringInit(kStr, 1, one, "old"), 0);
  }
  void TearDown() override {
    test::ResetCommandArgs();
    FreeVariableRecords();
    LayerEnv::TearDown();
  }
  // Runs command 4 on `path` with the queries given and returns the integer answer.
  static int64_t Ask(const std::string& path, std::initializer_list<std::pair<uint8_t, int64_t>> q,
                     int32_t expected_result = 0) {
    SetVarNumberElement(kInt, 0, -7);
    test::CommandArgs args;
    args.Text(0, path).Ref(20, kInt);
    for (auto [param, value] : q) args.Value(param, value);
    EXPECT_EQ(RunLayerQueryCommand(), expected_result) << path;
    return GetVarIntElement(kInt, 0);
  }
  static constexpr uint32_t kInt = 1000, kReal = 1001, kStr = 1002;
};

TEST_F(LayerQueryTest, QueriesInTheirOrder) {
  ASSERT_NE(MakeGroup("g", 3, 4, 32, 32, 50), nullptr);
  LayerData* l = MakeImage("g/a", 5, 6, 10, 8, 77, 0x80112233u, true);
  ASSERT_NE(l, nullptr);
  l->opacity = 200;
  l->mask_level = 99;
  l->mask_ramp = 12;
  l->blend_mode = -3;
  l->value_slot38 = 1234567890123;
  struct Case {
    std::initializer_list<std::pair<uint8_t, int64_t>> queries;
    int64_t answer;
  };
  const Case cases[] = {
      {{{1, 0}}, 1},       {{{2, 0}}, 1},           {{{3, 0}}, 200},      {{{4, 0}}, 5},
      {{{5, 0}}, 6},       {{{6, 0}}, 77},          {{{8, 0}}, 99},       {{{10, 0}}, 12},
      {{{11, 0}}, -3},     {{{12, 0}}, 10},         {{{13, 0}}, 8},       {{{19, 0}}, 1234567890123},
      {{{7, 0}}, 0},       // index 7 is no query
      {{}, 0},
      {{{12, 0}, {4, 0}}, 5},  // 4 is tested before 12
      {{{13, 0}, {3, 0}}, 200},
      {{{19, 0}, {1, 0}}, 1},
      {{{17, 0}, {21, 2}, {22, 1}}, 0x112233},
      {{{17, 0}, {21, 10}, {22, 1}}, -1},
      {{{17, 0}, {21, -1}, {22, 1}}, -1},
      // A point of window 0: the layer sits at (8, 10) there.
      {{{14, 0}, {21, 8}, {22, 10}}, 0x112233},
      {{{15, 0}, {21, 8}, {22, 10}}, 0x80},
      {{{16, 0}, {21, 8}, {22, 10}}, static_cast<int32_t>(0x80112233u)},
      {{{14, 0}, {21, 7}, {22, 10}}, -1},
      {{{14, 0}, {21, 17}, {22, 17}}, 0x112233},
      {{{14, 0}, {21, 18}, {22, 17}}, -1},
      {{{14, -2}, {21, 8}, {22, 10}}, 0x112233},  // below 0: window 0
      {{{14, 7}, {21, 8}, {22, 10}}, -1},         // above 3: window 3, closed
  };
  for (const Case& c : cases) {
    std::string label;
    for (auto [p, v] : c.queries) label += std::to_string(p) + "=" + std::to_string(v) + " ";
    EXPECT_EQ(Ask("g/a", c.queries), c.answer) << label;
  }
}

TEST_F(LayerQueryTest, WindowEdgesAndTheMousePosition) {
  // A white opaque layer covering window 0 (64 x 48).
  ASSERT_NE(MakeImage("w", 0, 0, kWidth, kHeight, 1, 0xFFFFFFFFu, true), nullptr);
  EXPECT_EQ(Ask("w", {{14, 0}, {21, kWidth}, {22, 0}}), -1);
  EXPECT_EQ(Ask("w", {{14, 0}, {21, kWidth - 1}, {22, 0}}), 0xFFFFFF);
  EXPECT_EQ(Ask("w", {{16, 0}, {21, 1}, {22, 1}}), -1);  // opaque white reads as -1
  EXPECT_EQ(Ask("w", {{15, 0}, {21, 1}, {22, 1}}), 255);
  g_windows[0]->mouse_x = 3;
  g_windows[0]->mouse_y = kHeight;
  EXPECT_EQ(Ask("w", {{15, 0}}), -1);
  EXPECT_EQ(Ask("w", {{15, 0}, {22, 0}}), 255);  // index 22 replaces the mouse y only
}

TEST_F(LayerQueryTest, VisibleBox) {
  LayerData* l = MakeImage("box", 0, 0, 16, 12, 1, 0x00FFFFFFu, true);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(Ask("box", {{18, 0}, {21, 1}}), -1);
  EXPECT_EQ(Ask("box", {{18, 0}, {21, 4}}), -1);
  EXPECT_EQ(Ask("box", {{18, 0}, {21, 5}}), 0);
  l->pixels[(7 * 16 + 3) * 4 + 3] = 1;
  EXPECT_EQ(Ask("box", {{18, 0}, {21, 1}}), 7);
  EXPECT_EQ(Ask("box", {{18, 0}, {21, 2}}), 7);
  EXPECT_EQ(Ask("box", {{18, 0}, {21, 3}}), 3);
  EXPECT_EQ(Ask("box", {{18, 0}, {21, 4}}), 3);
  l->pixels[(2 * 16 + 15) * 4 + 3] = 9;
  l->pixels[(11 * 16 + 0) * 4 + 3] = 9;
  l->pixels[(5 * 16 + 9) * 4 + 3] = 9;
  const VisibleBox box = FindVisibleBox(l);
  EXPECT_EQ(box.top, 2);
  EXPECT_EQ(box.bottom, 11);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.right, 15);
  EXPECT_EQ(Ask("box", {{18, 0}}), 0);  // no selector
}

TEST(VisibleBoxTest, MatchesAPlainScanOnRandomLayers) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    const int32_t w = 1 + static_cast<int32_t>(rng() % 23), h = 1 + static_cast<int32_t>(rng() % 9);
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4 + 4, 0x55);
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0;
    const int marks = static_cast<int>(rng() % 4);
    for (int m = 0; m < marks; ++m) pixels[(rng() % (static_cast<size_t>(w) * h)) * 4 + 3] = 1;
    LayerData layer{};
    layer.width = w;
    layer.height = h;
    layer.pixels = pixels.data();
    VisibleBox want;
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        if (pixels[(static_cast<size_t>(y) * w + x) * 4 + 3] == 0) continue;
        if (want.top < 0) want.top = y;
        want.bottom = y;
        if (want.left < 0 || x < want.left) want.left = x;
        if (x > want.right) want.right = x;
      }
    }
    const VisibleBox got = FindVisibleBox(&layer);
    EXPECT_EQ(got.top, want.top) << round;
    EXPECT_EQ(got.bottom, want.bottom) << round;
    EXPECT_EQ(got.left, want.left) << round;
    EXPECT_EQ(got.right, want.right) << round;
  }
}

TEST_F(LayerQueryTest, LayerWithoutPixelsAnswersMinusOne) {
  LayerData* l = MakeImage("bare", 0, 0, 8, 8, 1, 0xFF000000u, true);
  ASSERT_NE(l, nullptr);
  uint8_t* pixels = l->pixels;
  l->pixels = nullptr;
  for (uint8_t q : {14, 15, 16, 17}) {
    EXPECT_EQ(Ask("bare", {{q, 0}, {21, 1}, {22, 1}}), -1) << int{q};
  }
  EXPECT_EQ(Ask("bare", {{18, 0}, {21, 1}}), -1);
  EXPECT_EQ(Ask("bare", {{12, 0}}), 8);
  l->pixels = pixels;
}

TEST_F(LayerQueryTest, MissingLayerAndErrors) {
  // Missing layer: 0, 0.0 or "" by the variable's type, nothing reported.
  EXPECT_EQ(Ask("nothing", {{4, 0}}), 0);
  test::CommandArgs().Text(0, "nothing").Ref(20, kReal).Value(4, 0);
  EXPECT_EQ(RunLayerQueryCommand(), 0);
  EXPECT_EQ(GetVarRealElement(kReal, 0), 0.0);
  test::CommandArgs().Text(0, "nothing").Ref(20, kStr).Value(9, 0);
  EXPECT_EQ(RunLayerQueryCommand(), 0);
  EXPECT_EQ(std::string(GetVarStringElement(kStr, 0)), "");
  EXPECT_EQ(Reports(), 0u);

  ASSERT_NE(MakeImage("m", 0, 0, 4, 4, 1, 0xFF000000u, true), nullptr);
  SetText("m", kLayerMaskPath, "mask");
  test::CommandArgs().Text(0, "m").Ref(20, kStr).Value(9, 0);
  EXPECT_EQ(RunLayerQueryCommand(), 0);
  EXPECT_NE(std::string(GetVarStringElement(kStr, 0)), "");
  EXPECT_EQ(std::string(GetVarStringElement(kStr, 0)), std::string(Layer("m")->mask_path));

  EXPECT_EQ(Ask("m", {{17, 0}, {21, 1}}, -1), -7);
  EXPECT_EQ(LastCode(), 101295);
  EXPECT_EQ(Ask("x/a b", {{1, 0}}, -1), -7);  // spaces are not allowed in the path
  EXPECT_EQ(LastCode(), 100242);
  // A number into a string variable.
  test::CommandArgs().Text(0, "m").Ref(20, kStr).Value(12, 0);
  EXPECT_EQ(RunLayerQueryCommand(), 0);
  EXPECT_EQ(LastCode(), 101140);
}

}  // namespace
}  // namespace korvel
