// Layer command 1: the value operations, creation of image and group layers with the errors of
// each missing piece, image loading and resizing, keyword ranges and clamps, and the handler run
// from a compiled script.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/frame_step.h"
#include "layer_test_env.h"
#include "lib/assembler.h"
#include "resource/data_file_lookup.h"
#include "script/command_table.h"
#include "script/script_data.h"
#include "script/task_runner.h"
#include "script/value_ops.h"
#include "script/script_test_env.h"
#include "test_support.h"

namespace korvel {
namespace {

using test::LayerEnv;

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

TEST(ValueOpTest, OperationsBoundsAndExtremeOperands) {
  struct Case {
    uint8_t op;
    int64_t current, operand, lo, hi, expected;
  };
  const Case cases[] = {
      {0, 200, 999, 0, 256, 999},        // set: unclamped
      {0, 200, -5, 0, 256, -5},
      {1, 200, 100, 0, 256, 256},        // add: limited by the maximum
      {1, 200, -300, 0, 256, -100},      // ... and only by it
      {1, 200, kMax, 0, 256, kMin + 199},  // wraps, then only the maximum applies
      {2, 200, 300, 0, 256, 0},          // subtract: limited by the minimum
      {2, 200, -100, 0, 256, 300},       // ... and only by it
      {2, kMin, 1, kMin, kMax, kMax},    // wraps
      {3, 200, 2, 0, 256, 256},          // multiply: both
      {3, 200, -1, 0, 256, 0},
      {3, kMax, 2, kMin, kMax, -2},      // wraps
      {3, kMax, 2, 0, 256, 0},
      {4, 200, 0, 0, 256, 200},          // divide by 0 keeps the value
      {4, 200, 3, 0, 256, 66},
      {4, -7, 2, -100, 100, -3},         // truncating
      {4, -7, 2, 0, 256, 0},
      {4, kMin, -1, kMin, kMax, kMin},   // no trap
      {4, kMin, -1, 0, 256, 0},
      {5, 200, 1, 0, 256, 200},          // unknown operations keep the value
      {255, 200, 1, 0, 256, 200},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ApplyValueOp(c.op, c.current, c.operand, c.lo, c.hi), c.expected)
        << int{c.op} << " " << c.current << " " << c.operand;
  }
  struct MinCase {
    uint8_t op;
    int64_t current, operand, expected;
  };
  const MinCase min_cases[] = {
      {0, 5, -3, -3}, {1, 5, -10, -5}, {1, kMax, 1, kMin}, {2, 5, 10, 1},
      {3, 5, 0, 1},   {3, 5, -2, 1},   {4, 5, 0, 5},       {4, 5, -1, 1},
      {4, kMin, -1, 1},   {9, 5, 1, 5},
  };
  for (const MinCase& c : min_cases) {
    EXPECT_EQ(ApplyValueOpMin(c.op, c.current, c.operand, 1), c.expected)
        << int{c.op} << " " << c.current << " " << c.operand;
  }
}

// The unclamped operation takes the first five integer assignment operators only: %=, &=, |= and
// ^= keep the value here, while the assignment command computes them.
TEST(ValueOpTest, AssignOperatorStopsAtDivide) {
  struct Case {
    uint8_t op;
    int64_t current, operand, expected;
  };
  const Case cases[] = {
      {0, 7, -2, -2},      {1, kMax, 1, kMin}, {2, kMin, 1, kMax}, {3, kMax, 2, -2},
      {4, 7, 0, 7},        {4, -7, 2, -3},     {4, kMin, -1, kMin}, {5, 7, 2, 7},
      {6, 6, 3, 6},        {7, 6, 3, 6},       {8, 6, 3, 6},        {9, 6, 3, 6},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ApplyAssignOperator(c.op, c.current, c.operand), c.expected)
        << int{c.op} << " " << c.current << " " << c.operand;
  }
}

class LayerCommandTest : public LayerEnv {
 protected:
  void SetUp() override {
    LayerEnv::SetUp();
    InitResourceLookup(files_.path());
  }
  void TearDown() override {
    ShutdownResourceLookup();
    LayerEnv::TearDown();
  }
  // A BMP image file in the game folder: pixel (x, y) = 0xFF000000 | y << 8 | x.
  void WriteImage(const std::string& name, int32_t w, int32_t h) {
    files_.Write(name, test::MakeBmp24(w, h, [](int32_t x, int32_t y) {
                   return static_cast<uint32_t>(y << 8 | x);
                 }));
  }
  test::TempDir files_;
};

// Which slots make which layer, and the error of each missing piece.
TEST_F(LayerCommandTest, CreationTable) {
  MakeImage("src", 0, 0, 3, 3, 1, 0xFF112233);
  MakeGroup("grp", 0, 0, 8, 8, 1);
  struct Case {
    const char* what;
    std::string path;
    std::vector<uint8_t> slots;  // numeric slots given (value 4); 29 and 30 are texts
    std::string share;
    int32_t result;
    int32_t error;   // 0: none
    bool exists;     // the node exists afterwards
  };
  const Case cases[] = {
      {"group with order and size", "ng/", {5, 6, 7}, "", 0, 0, true},
      {"group without order", "ng2/", {6, 7}, "", 0, 0, false},
      {"group without height", "ng3/", {5, 6}, "", 0, 0, false},
      {"group with an image", "ng4/", {5, 6, 7, 29}, "", -1, 101280, false},
      {"group sharing", "ng5/", {5, 30}, "src", -1, 101280, false},
      {"existing group, image", "grp/", {29}, "", -1, 101280, true},
      {"image without data", "ni", {3}, "", -1, 101230, false},
      {"image without order", "ni2", {29}, "", -1, 100240, false},
      {"image", "ni3", {5, 29}, "", 0, 0, true},
      {"image sharing", "ni4", {5, 30}, "src", 0, 0, true},
      {"image sharing a missing layer", "ni5", {5, 30}, "nothing", -1, 101250, false},
      {"image under a missing group", "nowhere/ni6", {5, 29}, "", -1, 100230, false},
      {"existing image, width alone", "src", {29, 6}, "", -1, 100243, true},
      {"existing image, size without image", "src", {6, 7}, "", -1, 100244, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InitErrorReporting();
    InitEngineState();
    LayerCommandArgs a;
    a.Text(kLayerPath, c.path);
    for (const uint8_t slot : c.slots) {
      if (slot == kLayerImage) {
        a.Text(kLayerImage, "");
      } else if (slot == kLayerShare) {
        a.Text(kLayerShare, c.share);
      } else {
        a.Set(slot, 4);
      }
    }
    EXPECT_EQ(ApplyLayerCommand(a), c.result);
    EXPECT_EQ(Reports() == 0 ? 0 : LastCode(), c.error);
    const bool group = !c.path.empty() && c.path.back() == '/';
    const std::string bare = group ? c.path.substr(0, c.path.size() - 1) : c.path;
    EXPECT_EQ(Node(bare, group) != nullptr, c.exists);
  }
  EXPECT_EQ(Layer("ni4"), Layer("src"));
  EXPECT_EQ(Layer("src")->reference_count, 2u);
  EXPECT_EQ(Layer("ng", true)->width, 4);
  EXPECT_EQ(Layer("ng", true)->compose_valid, 1);
  // An empty image name: 1 x 1, one zero pixel, which the transparent colour then replaces.
  EXPECT_EQ(Layer("ni3")->width, 1);
  EXPECT_EQ(PixelAt(Layer("ni3"), 0, 0), 0x00808080u);
  // With command 13's switch off, a missing image layer without data is no error.
  g_layer_state.missing_layer_is_error = [] { return uint8_t{0}; };
  InitErrorReporting();
  LayerCommandArgs quiet;
  quiet.Text(kLayerPath, "ni").Set(kLayerX, 4);
  EXPECT_EQ(ApplyLayerCommand(quiet), 0);
  EXPECT_EQ(Reports(), 0u);
}

TEST_F(LayerCommandTest, SidesAreCheckedAgainst8192) {
  struct Case {
    std::string path;
    int64_t w, h;
    bool image;
  };
  const Case cases[] = {
      {"big/", 8193, 4, false},
      {"tall/", 4, 8193, false},
      {"huge/", int64_t{1} << 32 | 4, 4, false},
      {"neg/", -1, 4, false},
      {"img", 8193, 2, true},
      {"img2", 2, int64_t{1} << 33, true},
      {"img3", 0, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    InitErrorReporting();
    QueueOk();  // the size message box
    LayerCommandArgs a;
    a.Text(kLayerPath, c.path).Set(kLayerOrder, 1).Set(kLayerWidth, c.w).Set(kLayerHeight, c.h);
    if (c.image) a.Text(kLayerImage, "");
    EXPECT_EQ(ApplyLayerCommand(a), -1);
    EXPECT_EQ(LastCode(), 100010);
    EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  }
  // An existing group refuses too and keeps its buffer and size.
  MakeGroup("g", 0, 0, 8, 8, 1);
  QueueOk();
  LayerCommandArgs a;
  a.Text(kLayerPath, "g/").Set(kLayerWidth, 9000);
  EXPECT_EQ(ApplyLayerCommand(a), -1);
  EXPECT_EQ(Layer("g", true)->width, 8);
}

TEST_F(LayerCommandTest, ImageResizedFrom4x4To2x6) {
  WriteImage("four.bmp", 4, 4);
  LayerCommandArgs a;
  a.Text(kLayerPath, "a").Text(kLayerImage, "four.bmp").Set(kLayerOrder, 1);
  a.Set(kLayerWidth, 2).Set(kLayerHeight, 6);
  ASSERT_EQ(ApplyLayerCommand(a), 0) << LastErrorReport().message;
  const LayerData* l = Layer("a");
  ASSERT_EQ(l->width, 2);
  ASSERT_EQ(l->height, 6);
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 2; ++x) {
      const uint32_t expected = y < 4 ? (0xFF000000u | static_cast<uint32_t>(y << 8 | x))
                                      : 0xFF000000u;
      EXPECT_EQ(PixelAt(l, x, y), expected) << x << "," << y;
    }
  }
  // The spare row and pixel behind the image stay zero.
  for (size_t i = 2 * 6 * 4; i < 2 * 7 * 4 + 4; ++i) EXPECT_EQ(l->pixels[i], 0) << i;
}

TEST_F(LayerCommandTest, LoadingMarksTheOldAndTheNewArea) {
  WriteImage("big.bmp", 20, 10);
  MakeImage("a", 30, 30, 4, 4, 1, 0xFF00FF00);
  Frame();
  SetText("a", kLayerImage, "big");
  EXPECT_EQ(Root()->compose_rect.x0, 30);
  EXPECT_EQ(Root()->compose_rect.x1, 49);
  EXPECT_EQ(Root()->compose_rect.y1, 39);
  EXPECT_EQ(Layer("a")->width, 20);
  // A name that is not found makes a 1 x 1 image; the old area is still marked.
  Frame();
  SetText("a", kLayerImage, "missing");
  EXPECT_EQ(Layer("a")->width, 1);
  EXPECT_EQ(Root()->compose_rect.x1, 49);
}

TEST_F(LayerCommandTest, MovingMarksBothAreas) {
  MakeImage("a", 2, 2, 4, 4, 1, 0xFF00FF00);
  Frame();
  Set("a", kLayerX, 10, 1);  // add
  EXPECT_EQ(Layer("a")->x, 12);
  EXPECT_EQ(Root()->compose_rect.x0, 2);
  EXPECT_EQ(Root()->compose_rect.x1, 15);
  Frame();
  Set("a", kLayerX, 12);  // the same place: nothing marked
  EXPECT_EQ(Root()->needs_redraw, 0);
}

TEST_F(LayerCommandTest, BoundedSlotsClampAtBothEnds) {
  MakeImage("a", 0, 0, 2, 2, 1, 0);
  struct Case {
    uint8_t slot, op;
    int64_t value;
    int64_t expected;
  };
  const Case cases[] = {
      {kLayerOpacity, 0, 999, 256}, {kLayerOpacity, 0, -5, 0},  {kLayerOpacity, 1, 100, 256},
      {kLayerOpacity, 1, kMax, 0},  {kLayerMaskLevel, 0, 300, 256}, {kLayerMaskLevel, 2, 900, 0},
      {kLayerMaskLevel, 0, kMin, 0}, {kLayerSlot23, 0, -1, 0},   {kLayerSlot23, 3, kMax, 0},
      {kLayerColour, 0, 0x7FFFFFFF, 0x1000000}, {kLayerSlot27, 0, 70000, 256},
      {kLayerSlot28, 0, 5, 1},      {kLayerSlot28, 0, -5, 0},  {kLayerMaskRamp, 0, 100000, 32767},
      {kLayerMaskRamp, 0, -100000, -32768},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.slot} << " op " << int{c.op} << " " << c.value);
    LayerData* l = Layer("a");
    l->opacity = 200;
    l->mask_level = 200;
    l->value_slot23 = 128;
    Set("a", c.slot, c.value, c.op);
    int64_t got = 0;
    switch (c.slot) {
      case kLayerOpacity: got = l->pending_opacity; break;
      case kLayerMaskLevel: got = l->mask_level; break;
      case kLayerSlot23: got = l->value_slot23; break;
      case kLayerColour: got = l->colour_slot24; break;
      case kLayerSlot27: got = l->value_slot27; break;
      case kLayerSlot28: got = l->value_slot28; break;
      case kLayerMaskRamp: got = l->mask_ramp; break;
      default: break;
    }
    EXPECT_EQ(got, c.expected);
  }
  // The opacity of 5.103's example: 200 plus 100 is a pending 256; dividing by 0 keeps 200.
  Layer("a")->opacity = 200;
  Set("a", kLayerOpacity, 100, 1);
  EXPECT_EQ(Layer("a")->pending_opacity, 256);
  Set("a", kLayerOpacity, 0, 4);
  EXPECT_EQ(Layer("a")->pending_opacity, 200);
}

TEST_F(LayerCommandTest, BlendModeOutside0To18IsRefused) {
  MakeImage("a", 0, 0, 2, 2, 1, 0);
  for (const int64_t mode : {int64_t{19}, int64_t{-1}, int64_t{1} << 32}) {
    InitErrorReporting();
    LayerCommandArgs a;
    a.Text(kLayerPath, "a").Set(kLayerBlendMode, mode);
    EXPECT_EQ(ApplyLayerCommand(a), -1);
    EXPECT_EQ(LastCode(), 101000);
    EXPECT_EQ(Layer("a")->blend_mode, 0);
  }
  Set("a", kLayerBlendMode, 18);
  EXPECT_EQ(Layer("a")->blend_mode, 18);
}

TEST_F(LayerCommandTest, StringSlotsAreCutOnACharacterBoundary) {
  MakeImage("a", 0, 0, 2, 2, 1, 0);
  std::string long_text(259, 'x');
  long_text += "\x93\xFA";  // a double-byte character over the limit
  SetText("a", kLayerSecondString, long_text);
  SetText("a", kLayerMaskPath, long_text + "more");
  EXPECT_EQ(std::strlen(Layer("a")->second_string), 259u);
  EXPECT_EQ(std::strlen(Layer("a")->mask_path), 259u);
}

TEST_F(LayerCommandTest, StoredValuesAndReals) {
  MakeImage("a", 0, 0, 2, 2, 1, 0);
  Set("a", kLayerReals + 1, 7);
  Set("a", kLayerReals + 1, 3, 3);
  EXPECT_EQ(Layer("a")->value_slots18_20[1], 21.0f);
  Set("a", kLayerSlot21, 5);
  Set("a", kLayerSlot22, -6);
  EXPECT_EQ(Layer("a")->value_slot21, 5);
  EXPECT_EQ(Layer("a")->value_slot22, -6);
  Set("a", kLayerSlot38, kMax);
  Set("a", kLayerSlot38, 1, 1);
  EXPECT_EQ(Layer("a")->value_slot38, kMin);
  Set("a", kLayerDesignated, 1);
  EXPECT_EQ(g_layer_state.designated_layer, Node("a"));
  Set("a", kLayerSlot25, 0x1FF);
  EXPECT_EQ(Layer("a")->value_slot25, 0xFF);
}

TEST_F(LayerCommandTest, OrderKeyRelinksAmongSiblings) {
  MakeImage("a", 0, 0, 2, 2, 1, 0xFF0000FF);
  MakeImage("b", 0, 0, 2, 2, 2, 0xFF00FF00);
  Frame();
  EXPECT_EQ(PixelAt(Root(), 0, 0), 0xFF00FF00u);
  Set("a", kLayerOrder, 2, 1);  // 1 + 2: above b
  EXPECT_EQ(W0()->last_child, Node("a"));
  Frame();
  EXPECT_EQ(PixelAt(Root(), 0, 0), 0xFF0000FFu);
  Set("a", kLayerOrder, 100, 2);  // limited by the minimum 1: below b again
  EXPECT_EQ(Node("a")->order_key, 1);
  EXPECT_EQ(W0()->first_child, Node("a"));
}

TEST_F(LayerCommandTest, AlphaMaskTakesTheBlueBytes) {
  MakeImage("a", 0, 0, 2, 2, 1, 0xFF102030);
  MakeImage("m", 0, 0, 2, 2, 2, 0x000000AB);
  SetText("a", kLayerAlphaMask, "m");
  EXPECT_EQ(PixelAt(Layer("a"), 1, 1), 0xAB102030u);
  EXPECT_EQ(Layer("a")->has_alpha, 1);
  MakeImage("small", 0, 0, 1, 1, 3, 0);
  QueueOk();
  LayerCommandArgs a;
  a.Text(kLayerPath, "a").Text(kLayerAlphaMask, "small");
  EXPECT_EQ(ApplyLayerCommand(a), -1);
  EXPECT_TRUE(QuitRequested());
}

TEST_F(LayerCommandTest, GroupResizeClearsAndComposesAtOnce) {
  MakeGroup("g", 0, 0, 8, 8, 1);
  MakeImage("g/a", 1, 1, 2, 2, 1, 0xFF00FF00);
  Frame();
  LayerCommandArgs a;
  a.Text(kLayerPath, "g/").Set(kLayerWidth, 4, 1).Set(kLayerHeight, 3);
  ASSERT_EQ(ApplyLayerCommand(a), 0);
  const LayerData* g = Layer("g", true);
  EXPECT_EQ(g->width, 12);
  EXPECT_EQ(g->height, 3);
  EXPECT_EQ(PixelAt(g, 1, 1), 0xFF00FF00u);  // composed at once
  EXPECT_EQ(PixelAt(g, 11, 2), 0u);
  // A side below 1 is kept and the group is no longer drawn.
  Set("g/", kLayerWidth, 0);
  EXPECT_EQ(Layer("g", true)->width, 0);
  Frame();
  EXPECT_EQ(PixelAt(Root(), 1, 1), 0u);
}

// The handler through a compiled script: the decoder fills the keywords, the apply step runs.
class LayerScriptTest : public test::ScriptEnv {};

TEST_F(LayerScriptTest, CompiledCommandsCreateAndReleaseLayers) {
  ASSERT_EQ(CreateWindowRecords(), 0);
  g_windows[0]->logical_width = 32;
  g_windows[0]->logical_height = 32;
  InitLayerState();
  RegisterLayerTree();
  SetRootLayerCreator(CreateWindowRootLayer);
  NamedTreeNode* root = nullptr;
  ASSERT_EQ(CreateSystemObjects(32, 32, &root), 0);
  g_windows[0]->root_layer = root;
  RegisterLayerCommandHandlers();
  tools::CompiledGame game;
  std::string error;
  ASSERT_TRUE(tools::Assemble({{"main.kas",
                                "label SYSTEM_START\n"
                                "LAYER 0=( \"grp/\" ) 5=( 1 ) 6=( 16 ) 7=( 8 ) 3=( 4 )\n"
                                "LAYER 0=( \"grp/a\" ) 29=( \"\" ) 5=( 2 ) 2@1=( 100 )\n"
                                "LAYER 0=( \"b\" ) 29=( \"\" ) 5=( 3 ) 36=( 5 )\n"
                                "RELEASE 0=( \"b\" )\n"
                                "loop -1\n"
                                "  WAIT 0=( 1 )\n"
                                "end\n"}},
                              &game, &error))
      << error;
  Install(game);
  ASSERT_EQ(LoadScriptData(), 0) << LastErrorReport().message;
  InitScriptRunner();
  g_frame.tick_counter += 1;
  RunScriptTasks();
  EXPECT_EQ(LastErrorReport().count, 0u) << LastErrorReport().message;
  LayerPath p;
  ASSERT_EQ(NormalizeLayerPath("grp/a", &p), 0);
  const LayerData* a = LayerOf(FindLayerQuiet(p.text, false));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->pending_opacity, 256);  // 256 + 100, limited
  ASSERT_EQ(NormalizeLayerPath("grp/", &p), 0);
  const LayerData* g = LayerOf(FindLayerQuiet(p.text, true));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->x, 4);
  EXPECT_EQ(g->width, 16);
  ASSERT_EQ(NormalizeLayerPath("b", &p), 0);
  EXPECT_EQ(FindLayerQuiet(p.text, false), nullptr);
  InitScriptRunner();
  ClearCommandHandlerOverrides();
  SetRootLayerCreator(nullptr);
  DestroySystemObjects();
  FreeWindowRecords();
}

}  // namespace
}  // namespace korvel
