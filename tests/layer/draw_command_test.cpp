// Draw command 2: flag precedence, the text path and its raw x0, rectangle clamping and its
// exemptions, value checks, further layers (creation, missing parents, missing layers 2 and 3),
// the node swap fields, the group flatten with its sweep, and the dirty growth up the tree.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "layer/draw_command.h"
#include "layer/layer_tree_edits.h"
#include "layer_test_env.h"

namespace korvel {
namespace {

using test::LayerEnv;

struct TextCall {
  std::string text;
  int64_t x, y, edge;
};
std::vector<TextCall> g_text_calls;
std::vector<int64_t> g_slots;

void RecordText(NamedTreeNode*, const char* text, size_t length, int64_t x, int64_t y,
                int64_t edge) {
  g_text_calls.push_back({std::string(text, length), x, y, edge});
}
bool RecordSlot(int64_t slot) {
  g_slots.push_back(slot);
  return slot >= 0 && slot <= 7;
}

class DrawCommandTest : public LayerEnv {
 protected:
  void SetUp() override {
    LayerEnv::SetUp();
    g_text_calls.clear();
    g_slots.clear();
    g_draw_hooks = DrawCommandHooks{};
    g_draw_hooks.draw_text = RecordText;
    g_draw_hooks.set_font_slot = RecordSlot;
  }
  void TearDown() override {
    g_draw_hooks = DrawCommandHooks{};
    LayerEnv::TearDown();
  }
  static DrawCommandArgs Draw(const std::string& layer0) {
    DrawCommandArgs a;
    a.Text(kDrawLayer0, layer0);
    return a;
  }
};

TEST_F(DrawCommandTest, FirstFlagInOrderWinsAndTextRunsBeforeCopies) {
  MakeImage("src", 0, 0, 2, 2, 1, 0xFF0000FFu);
  MakeImage("dst", 0, 0, 4, 4, 2, 0xFF00FF00u);
  // An effect flag (40) ends the command before the copy (30) runs: layer 1 takes the effect's
  // 2 x 2 result, and no copy lands in it.
  DrawCommandArgs a = Draw("src");
  a.Text(kDrawLayer1, "dst").Set(30, 1).Set(40, 1).Set(kDrawValueA, 0);
  ASSERT_EQ(ApplyDrawCommand(a), 0);
  EXPECT_EQ(Layer("dst")->width, 2);
  MakeImage("dst", 0, 0, 4, 4, 2, 0xFF00FF00u);
  ASSERT_EQ(Layer("dst")->width, 4);
  // 30 before 34: a plain copy, not a difference copy.
  a = Draw("src");
  a.Text(kDrawLayer1, "dst").Set(34, 1).Set(30, 1);
  ASSERT_EQ(ApplyDrawCommand(a), 0);
  EXPECT_EQ(PixelAt(Layer("dst"), 0, 0), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(Layer("dst"), 2, 2), 0xFF00FF00u);
  // Text with a copy: the text is drawn (pen unclamped for a copy), then the copy at raw x0.
  Fill("dst", 0xFF00FF00u);
  a = Draw("src");
  a.Text(kDrawLayer1, "dst").Set(56, 3).Set(57, 1).Text(kDrawText, "ab").Set(30, 1);
  a.Set(kDrawX0, -1).Set(kDrawY0, 0).Set(kDrawValueA, 2);
  ASSERT_EQ(ApplyDrawCommand(a), 0);
  ASSERT_EQ(g_text_calls.size(), 1u);
  EXPECT_EQ(g_text_calls[0].text, "ab");
  EXPECT_EQ(g_text_calls[0].x, -1);
  EXPECT_EQ(g_text_calls[0].edge, 2);
  EXPECT_EQ(PixelAt(Layer("dst"), 0, 0), 0xFF0000FFu);  // source column 1 at destination 0
  EXPECT_EQ(PixelAt(Layer("dst"), 1, 0), 0xFF00FF00u);
  EXPECT_EQ(g_slots, std::vector<int64_t>{3});  // a copy ran: no slot-0 reset
}

TEST_F(DrawCommandTest, TextPenIsClampedWithoutACopyAndSlotResetsAfter) {
  MakeImage("img", 0, 0, 10, 8, 1, 0);
  DrawCommandArgs a = Draw("img");
  a.Set(57, 1).Text(kDrawText, "x").Set(kDrawX0, -5).Set(kDrawY0, 99).Set(56, 2);
  ASSERT_EQ(ApplyDrawCommand(a), 0);
  ASSERT_EQ(g_text_calls.size(), 1u);
  EXPECT_EQ(g_text_calls[0].x, 0);
  EXPECT_EQ(g_text_calls[0].y, 7);
  EXPECT_EQ(g_slots, (std::vector<int64_t>{2, 0}));
  // Text flag without text: -1. A slot outside 0..7: 101000.
  a = Draw("img");
  a.Set(57, 1);
  EXPECT_EQ(ApplyDrawCommand(a), -1);
  a = Draw("img");
  a.Set(56, 8);
  EXPECT_EQ(ApplyDrawCommand(a), -1);
  EXPECT_EQ(LastCode(), 101000);
}

TEST_F(DrawCommandTest, ValueAUpperBoundIsUnsignedOnTheLow32Bits) {
  MakeImage("img", 0, 0, 4, 4, 1, 0);
  struct Case {
    int64_t a;
    int32_t result;
  };
  // Flag 36 (crop) accepts 0..15.
  const Case cases[] = {{15, 0}, {16, -1}, {-1, -1}, {int64_t{1} << 32, 0},
                        {(int64_t{1} << 32) + 16, -1}, {INT64_MIN, 0}};
  for (const Case& c : cases) {
    DrawCommandArgs a = Draw("img");
    a.Set(36, 1).Set(kDrawValueA, c.a);
    EXPECT_EQ(ApplyDrawCommand(a), c.result) << c.a;
    if (c.result != 0) {
      EXPECT_EQ(LastCode(), 101000) << c.a;
    }
  }
}

TEST_F(DrawCommandTest, FurtherLayersAreCreatedAndCheckedByFlag) {
  MakeImage("src", 0, 0, 2, 2, 1, 0xFF0000FFu);
  // Layer 1 is created when missing (an empty 1 x 1 record).
  DrawCommandArgs a = Draw("src");
  a.Text(kDrawLayer1, "made").Set(30, 1);
  ASSERT_EQ(ApplyDrawCommand(a), 0);
  EXPECT_EQ(Layer("made")->width, 1);
  // A missing parent group ends the command after the lookup's 100230.
  a = Draw("src");
  a.Text(kDrawLayer1, "nogroup/x").Set(30, 1);
  EXPECT_EQ(ApplyDrawCommand(a), -1);
  EXPECT_EQ(LastCode(), 100230);
  EXPECT_EQ(Node("nogroup/x"), nullptr);
  // A further layer path naming a group is 101291.
  a = Draw("src");
  a.Text(kDrawLayer1, "g/").Set(30, 1);
  EXPECT_EQ(ApplyDrawCommand(a), -1);
  EXPECT_EQ(LastCode(), 101291);
  // Copies without layer 1, masked copy without layer 2, transition without layer 3: 101298.
  struct Case {
    uint8_t flag;
    int named;  // further layers given
  };
  for (const Case c : {Case{30, 0}, Case{32, 1}, Case{33, 1}, Case{33, 2}, Case{35, 0}}) {
    a = Draw("src");
    for (int i = 1; i <= c.named; ++i) a.Text(static_cast<uint8_t>(i), "made");
    a.Set(c.flag, 1);
    EXPECT_EQ(ApplyDrawCommand(a), -1) << int{c.flag};
    EXPECT_EQ(LastCode(), 101298) << int{c.flag};
  }
  // Layer 2 named without layer 1: the empty path names no layer, so the copy has no layer 1.
  a = Draw("src");
  a.Text(kDrawLayer2, "made").Set(30, 1);
  EXPECT_EQ(ApplyDrawCommand(a), -1);
  EXPECT_EQ(LastCode(), 101298);
  a = Draw("src");
  a.Text(kDrawLayer2, "made").Set(36, 1).Set(kDrawValueA, 0);
  const uint32_t reports = Reports();
  EXPECT_EQ(ApplyDrawCommand(a), 0);  // the crop works on layer 0 in place
  EXPECT_EQ(Reports(), reports);
  // A missing layer 0: nothing, result 0.
  a = Draw("absent");
  a.Set(30, 1).Text(kDrawLayer1, "made");
  EXPECT_EQ(ApplyDrawCommand(a), 0);
  // Swap with a rectangle, and without layer 1.
  a = Draw("src");
  a.Set(60, 1).Set(kDrawX1, 1).Text(kDrawLayer1, "made");
  EXPECT_EQ(ApplyDrawCommand(a), -1);
  EXPECT_EQ(LastCode(), 101281);
  a = Draw("src");
  a.Set(61, 1);
  EXPECT_EQ(ApplyDrawCommand(a), -1);
  EXPECT_EQ(LastCode(), 101297);
  // Sprite pasting under CPU drawing is refused quietly.
  a = Draw("src");
  a.Set(62, 1).Text(kDrawLayer1, "made");
  EXPECT_EQ(ApplyDrawCommand(a), 0);
}

TEST_F(DrawCommandTest, SwapExchangesNamesOrderAndTheChosenFields) {
  MakeImage("a", 1, 2, 2, 2, 5, 0xFF0000FFu);
  MakeImage("b", 7, 8, 3, 3, 9, 0xFF00FF00u);
  Set("a", kLayerOpacity, 100);
  Set("a", kLayerMaskLevel, 50);
  Set("a", kLayerBlendMode, 3);
  SweepLayerChanges();
  LayerData* la = Layer("a");
  LayerData* lb = Layer("b");
  DrawCommandArgs cmd = Draw("a");
  cmd.Text(kDrawLayer1, "b").Set(60, 1);
  ASSERT_EQ(ApplyDrawCommand(cmd), 0);
  // The record once named "a" is now found as "b", with the other's order key; what = 1 swaps
  // the placements only.
  EXPECT_EQ(Layer("b"), la);
  EXPECT_EQ(Layer("a"), lb);
  EXPECT_EQ(Node("b")->order_key, 9);
  EXPECT_EQ(Node("a")->order_key, 5);
  EXPECT_EQ(la->x, 7);
  EXPECT_EQ(la->y, 8);
  EXPECT_EQ(la->opacity, 100);
  EXPECT_EQ(la->blend_mode, 3);
  // what = 2: placements, visibility, opacity, mask level and ramp, blend mode.
  cmd = Draw("a");
  cmd.Text(kDrawLayer1, "b").Set(61, 1);
  ASSERT_EQ(ApplyDrawCommand(cmd), 0);
  EXPECT_EQ(Layer("a"), la);
  EXPECT_EQ(la->x, 1);  // the placements swapped back by name, then again
  EXPECT_EQ(lb->opacity, 100);
  EXPECT_EQ(lb->mask_level, 50);
  EXPECT_EQ(lb->blend_mode, 3);
  EXPECT_EQ(la->opacity, 256);
  EXPECT_EQ(la->blend_mode, 0);
}

TEST_F(DrawCommandTest, SwapKeepsEachNodesKindInItsHash) {
  MakeGroup("g", 0, 0, 4, 4, 1);
  MakeImage("leaf", 0, 0, 2, 2, 2, 0);
  NamedTreeNode* g = Node("g", true);
  NamedTreeNode* leaf = Node("leaf");
  const uint32_t group_hash = g->hash, leaf_hash = leaf->hash;
  SwapLayerNodes(g, leaf, 1);
  EXPECT_EQ(g->kind, kNodeGroup);
  EXPECT_EQ(leaf->kind, kNodeLeaf);
  EXPECT_EQ(g->hash, (leaf_hash & ~kGroupHashBit) | kGroupHashBit);
  EXPECT_EQ(leaf->hash, group_hash & ~kGroupHashBit);
  EXPECT_STREQ(g->name, "leaf");
  EXPECT_EQ(Node("leaf", true), g);
  EXPECT_EQ(Node("g"), leaf);
}

TEST_F(DrawCommandTest, GroupPathFlattensAfterTheSweep) {
  MakeGroup("grp", 0, 0, 4, 4, 1);
  MakeImage("grp/child", 1, 1, 2, 2, 1, 0xFF0000FFu);
  Set("grp/child", kLayerVisible, 0);  // pending until the sweep
  Set("grp/child", kLayerVisible, 1);
  Set("grp/child", kLayerOpacity, 256);
  DrawCommandArgs a = Draw("grp/");
  ASSERT_EQ(ApplyDrawCommand(a), 0);
  EXPECT_EQ(Layer("grp/child")->pending_visible_flag, 0);
  EXPECT_EQ(PixelAt(Layer("grp", true), 1, 1), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(Layer("grp", true), 0, 0), 0u);
  // Hidden by the sweep: the flatten leaves the child out.
  Set("grp/child", kLayerVisible, 0);
  ASSERT_EQ(ApplyDrawCommand(a), 0);
  EXPECT_EQ(Layer("grp/child")->visible, 0);
  EXPECT_EQ(PixelAt(Layer("grp", true), 1, 1), 0u);
}

TEST_F(DrawCommandTest, GrowDirtyRectMarksTheLayerAndEachAncestorWithTheChildsBox) {
  Frame();
  MakeGroup("grp", 10, 5, 20, 20, 1);
  MakeImage("grp/img", 3, 4, 6, 2, 1, 0);
  Frame();
  GrowLayerDirtyRect(Node("grp/img"));
  const LayerData* img = Layer("grp/img");
  EXPECT_EQ(img->compose_rect.x0, 0);
  EXPECT_EQ(img->compose_rect.x1, 5);
  EXPECT_EQ(img->compose_rect.y1, 1);
  const LayerData* grp = Layer("grp", true);
  EXPECT_EQ(grp->compose_rect.x0, 3);
  EXPECT_EQ(grp->compose_rect.y0, 4);
  EXPECT_EQ(grp->compose_rect.x1, 8);
  EXPECT_EQ(grp->compose_rect.y1, 5);
  EXPECT_EQ(Root()->compose_rect.x0, 10);
  EXPECT_EQ(Root()->compose_rect.y1, 24);
  EXPECT_EQ(Root()->needs_redraw, 1);
}

TEST_F(DrawCommandTest, CanvasMarginsStayRawAndCropUsesLayer1) {
  MakeImage("img", 0, 0, 4, 4, 1, 0xFF112233u);
  DrawCommandArgs a = Draw("img");
  a.Set(37, 1).Set(kDrawX0, -1).Set(kDrawY0, 2).Set(kDrawX1, 5).Set(kDrawY1, -2);
  ASSERT_EQ(ApplyDrawCommand(a), 0);
  EXPECT_EQ(Layer("img")->width, 8);
  EXPECT_EQ(Layer("img")->height, 4);
  EXPECT_EQ(PixelAt(Layer("img"), 0, 2), 0xFF112233u);
  EXPECT_EQ(PixelAt(Layer("img"), 0, 1), 0x00808080u);
  EXPECT_EQ(PixelAt(Layer("img"), 2, 3), 0xFF112233u);
  EXPECT_EQ(PixelAt(Layer("img"), 3, 2), 0x00808080u);  // source column 4 does not exist
}

}  // namespace
}  // namespace korvel
